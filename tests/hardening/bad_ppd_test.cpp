// Bad PPDs and option strings through the filter executable: a PPD that is a directory, empty
// or binary garbage ends the job with the PPD error and no output; absurd option values and
// thousands of job options still give complete TSPL for every page.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/job_checks.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"

namespace quorvel::test {
namespace {

RunResult RunWith(const std::string& ppd, const std::string& options = "") {
  RasterPage page;
  page.width = 64;
  page.height = 32;
  page.fill = GradientRgb();
  RasterPage black = page;
  black.fill = SolidRgb(0, 0, 0);
  FilterRun run;
  run.args = JobArgs(options);
  run.ppd = ppd;
  run.stdinData = RasterBytes({page, black});
  run.timeoutMs = 120000;
  return RunFilter(run);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

// Missing and unset PPDs, with libcups's exact texts, are whole-job cases of the filter tests.
TEST(BadPpd, EmptyGarbageOrDirectoryEndsTheJobWithThePpdError) {
  TempDir dir;
  std::mt19937 random(8);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  ASSERT_TRUE(WriteFile(dir.file("empty.ppd"), ""));
  ASSERT_TRUE(WriteFile(dir.file("garbage.ppd"), garbage));
  for (const std::string& ppd : {dir.path(), dir.file("empty.ppd"), dir.file("garbage.ppd")}) {
    const RunResult r = RunWith(ppd);
    ExpectCleanEnd(r, 1);
    EXPECT_EQ(r.err.rfind("ERROR: The PPD file could not be opened.\nERROR: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" on line "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // The right first line, then garbage.
  ASSERT_TRUE(WriteFile(dir.file("half.ppd"), "*PPD-Adobe: \"4.3\"\n" + garbage));
  const RunResult half = RunWith(dir.file("half.ppd"));
  ExpectCleanEnd(half, half.out.empty() ? 1 : 0);
  EXPECT_TRUE(half.out.empty() || ReadTspl(half.out).complete);
}

// A PPD with one printer option whose only choice carries an absurd code string, beside sound
// options. The preview parser may refuse a value no printer takes, so the stream's shape is
// read through its listing: whole commands, BITMAP data complete.
class AbsurdOptionValue : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(AbsurdOptionValue, EveryPageStillGetsCompleteTspl) {
  const auto& [keyword, code] = GetParam();
  TempDir dir;
  PpdSpec spec;
  spec.options = {
      NumericOption("Density", "8", {"8"}, "D"), NumericOption("PrintSpeed", "4", {"4"}, "S"),
      NumericOption("MediaType", "1", {"1"}, "T"), NumericOption("GAPHeight", "3", {"3"}, "G"),
      NumericOption("MaxOutputWidth", "104", {"104"}, "W")};
  const PpdOption absurd{keyword, "Absurd", {{"Absurd", code}}};
  auto same = std::find_if(spec.options.begin(), spec.options.end(),
                           [&](const PpdOption& o) { return o.keyword == keyword; });
  if (same != spec.options.end())
    *same = absurd;
  else
    spec.options.push_back(absurd);
  ASSERT_TRUE(WritePpdFile(dir.file("absurd.ppd"), spec));
  const RunResult r = RunWith(dir.file("absurd.ppd"));
  // Each page printed in full or was refused with a line of its own; nothing printed: status 1.
  const std::string listing = ReadableTspl(r.out);
  const size_t prints = Count(listing, "PRINT ");
  ExpectCleanEnd(r, prints > 0 ? 0 : 1);
  EXPECT_EQ(listing.find("\n<"), std::string::npos) << listing;
  EXPECT_EQ(prints, Count(listing, "BITMAP "));
  EXPECT_EQ(prints + Count(r.err, "ERROR: Page "), 2u) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Options, AbsurdOptionValue,
                         testing::ValuesIn(std::vector<std::pair<const char*, const char*>>{
                             {"Density", "-1"},
                             {"Density", "32767"},
                             {"Density", "abc"},
                             {"PrintSpeed", "-5"},
                             {"PrintSpeed", "32767"},
                             {"MediaType", "99"},
                             {"GAPHeight", "-3"},
                             {"GAPHeight", "32767"},
                             {"GAPOffset", "1e30"},
                             {"Levels", "1000"},
                             {"Levels", "-5"},
                             {"Levels", "0"},
                             {"Interval", "-5"},
                             {"Interval", "32767"},
                             {"MaxOutputWidth", "1"},
                             {"MaxOutputWidth", "-10"},
                             {"MaxOutputWidth", "32767"},
                             {"Halftone", "99"},
                             {"Halftone", "-1"},
                             {"Brightness", "32767"},
                             {"Contrast", "-32768"},
                             {"Rotation", "7"},
                             {"AutoRotate", "9"},
                             {"IsToDashed", "1"},
                             {"IntervalBlack", "-3"},
                             {"IntervalWhite", "32767"},
                             {"MinLength", "-1"},
                             {"FixedHeight", "32767"},
                             {"FixedHeight", "-30"},
                             {"Feed", "32767"},
                             {"StartOffsetValue", "-9"},
                             {"EndOffsetValue", "32767"},
                             {"CutMethod", "9"},
                             {"Mode", "9"},
                             {"PrintMode", "7"},
                             {"SavePaper", "1"},
                             {"HorizontalOffsetValue", "-99999"}}));

// Thousands of job options, most unknown to the PPD, change nothing but what they name (the
// whole string stays under the kernel's 128 KiB limit for one argument).
TEST(JobOptions, ThousandsOfOptionsAreHarmless) {
  const RunResult reference = RunWith(SamplePpd(), "Density=D12");
  ASSERT_EQ(reference.exitStatus, 0);
  std::string options;
  for (int i = 0; i < 3000; ++i)
    options += "option" + std::to_string(i) + "=value" + std::to_string(i) + " ";
  options += "Density=D12";
  for (int i = 0; i < 1000; ++i) options += " Density" + std::to_string(i) + "='quoted value'";
  const RunResult r = RunWith(SamplePpd(), options);
  ExpectCleanEnd(r);
  EXPECT_EQ(r.err, reference.err);
  EXPECT_TRUE(r.out == reference.out) << "unknown options changed the output";
  EXPECT_EQ(ReadTspl(r.out).labels, 2);
}

}  // namespace
}  // namespace quorvel::test
