// Bad PPDs and option strings through the filter executable: a PPD that is missing, empty
// or binary garbage ends the job with the PPD error and no output; absurd option values and
// thousands of job options still give complete TSPL for every page.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/hardening/hardening_util.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"

namespace quorvel::test {
namespace {

std::string TwoPages() {
  RasterPage page;
  page.width = 64;
  page.height = 32;
  page.fill = GradientRgb();
  RasterPage black = page;
  black.fill = SolidRgb(0, 0, 0);
  return RasterBytes({page, black});
}

RunResult RunWith(const std::string& ppd, const std::string& options = "", bool unsetPpd = false) {
  FilterRun run;
  run.args = JobArgs(options);
  run.ppd = ppd;
  run.unsetPpd = unsetPpd;
  run.stdinData = TwoPages();
  run.timeoutMs = 120000;
  return RunFilter(run);
}

void ExpectPpdError(const RunResult& r) {
  ExpectCleanEnd(r, 1);
  EXPECT_EQ(r.err.rfind("ERROR: The PPD file could not be opened.\nERROR: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(" on line "), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(BadPpd, MissingEmptyOrGarbageEndsTheJobWithThePpdError) {
  TempDir dir;
  ExpectPpdError(RunWith("", "", /*unsetPpd=*/true));
  ExpectPpdError(RunWith(dir.file("no-such.ppd")));
  ExpectPpdError(RunWith(dir.path()));  // a directory
  ASSERT_TRUE(WriteFile(dir.file("empty.ppd"), ""));
  ExpectPpdError(RunWith(dir.file("empty.ppd")));
  std::mt19937 random(8);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  ASSERT_TRUE(WriteFile(dir.file("garbage.ppd"), garbage));
  ExpectPpdError(RunWith(dir.file("garbage.ppd")));
  // The right first line, then garbage.
  ASSERT_TRUE(WriteFile(dir.file("half.ppd"), "*PPD-Adobe: \"4.3\"\n" + garbage));
  const RunResult half = RunWith(dir.file("half.ppd"));
  ExpectCleanEnd(half, half.out.empty() ? 1 : 0);
  if (!half.out.empty()) {
    EXPECT_TRUE(ReadTspl(half.out).complete);
  }
}

// A PPD with one printer option whose only choice carries an absurd code string, beside the
// sample printer's sound options.
struct AbsurdOption {
  const char* keyword;
  const char* code;
};

class AbsurdOptionValue : public testing::TestWithParam<AbsurdOption> {};

TEST_P(AbsurdOptionValue, EveryPageStillGetsCompleteTspl) {
  const AbsurdOption& c = GetParam();
  TempDir dir;
  PpdSpec spec;
  spec.options = {
      NumericOption("Density", "8", {"8"}, "D"), NumericOption("PrintSpeed", "4", {"4"}, "S"),
      NumericOption("MediaType", "1", {"1"}, "T"), NumericOption("GAPHeight", "3", {"3"}, "G"),
      NumericOption("MaxOutputWidth", "104", {"104"}, "W")};
  PpdOption absurd;
  absurd.keyword = c.keyword;
  absurd.defaultChoice = "Absurd";
  absurd.choices = {{"Absurd", c.code}};
  bool replaced = false;
  for (PpdOption& o : spec.options) {
    if (o.keyword == absurd.keyword) {
      o = absurd;
      replaced = true;
    }
  }
  if (!replaced) spec.options.push_back(absurd);
  const std::string ppd = dir.file("absurd.ppd");
  ASSERT_TRUE(WritePpdFile(ppd, spec));
  const RunResult r = RunWith(ppd);
  // Each page either printed in full or was refused with a clear line of its own; a job that
  // printed nothing ends with 1.
  const TsplShape shape = ScanTspl(r.out);
  ExpectCleanEnd(r, shape.prints > 0 ? 0 : 1);
  EXPECT_TRUE(shape.whole);
  int refused = 0;
  for (size_t pos = r.err.find("ERROR: Page "); pos != std::string::npos;
       pos = r.err.find("ERROR: Page ", pos + 1)) {
    ++refused;
  }
  EXPECT_EQ(shape.prints, shape.bitmaps);
  EXPECT_EQ(shape.prints + refused, 2) << r.err;
}

std::string OptionName(const testing::TestParamInfo<AbsurdOption>& info) {
  std::string name = std::string(info.param.keyword) + "_";
  for (const char* p = info.param.code; *p; ++p) {
    name += isalnum(static_cast<unsigned char>(*p)) ? *p : (*p == '-' ? 'm' : 'p');
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Options, AbsurdOptionValue,
                         testing::ValuesIn(std::vector<AbsurdOption>{
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
                             {"HorizontalOffsetValue", "-99999"}}),
                         OptionName);

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
