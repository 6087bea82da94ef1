// Bad PPDs and option strings through the filter executable: a PPD that is a directory, empty
// or binary garbage ends the job with the PPD error and no output; absurd option values
// (absurd-options.txt) and thousands of job options still give complete TSPL for every page.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

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
}

// The preview parser may refuse a value no printer takes, so the stream's shape is read
// through its listing: whole commands, BITMAP data complete.
TEST(BadPpd, AbsurdOptionValuesStillGiveCompleteTspl) {
  TempDir dir;
  std::istringstream rows(
      ReadFile(std::string(QEV_SOURCE_DIR) + "/tests/hardening/absurd-options.txt"));
  int tried = 0;
  for (std::string line, keyword, code; std::getline(rows, line);) {
    if (line.empty() || line[0] == '#' || !(std::istringstream(line) >> keyword >> code)) continue;
    SCOPED_TRACE(line);
    ++tried;
    PpdSpec spec;  // the sample printer's values for every other option
    for (const char* o :
         {"Density 8", "PrintSpeed 4", "MediaType 1", "GAPHeight 3", "MaxOutputWidth 104"}) {
      std::string k, v;
      std::istringstream(o) >> k >> v;
      if (k != keyword) spec.options.push_back(NumericOption(k, v, {v}, k.substr(0, 1)));
    }
    spec.options.push_back({keyword, "Absurd", {{"Absurd", code}}});
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
  EXPECT_EQ(tried, 37);
}

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
