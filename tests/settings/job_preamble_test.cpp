// The job configuration through the built filter: without an OutputDPI keyword the job
// prints at the raster's resolution and tells CUPS so.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"

namespace {

using quorvel::test::NumericOption;

// Runs a one-page job (16 × 8 white pixels at `dpi`) with the PPD of `spec`.
quorvel::test::RunResult RunJob(const quorvel::test::PpdSpec& spec, uint32_t dpi = 203) {
  quorvel::test::TempDir dir;
  EXPECT_TRUE(quorvel::test::WritePpdFile(dir.file("job.ppd"), spec));
  quorvel::test::RasterPage page;
  page.xdpi = page.ydpi = dpi;
  quorvel::test::FilterRun run;
  run.args = quorvel::test::JobArgs();
  run.ppd = dir.file("job.ppd");
  run.stdinData = quorvel::test::RasterBytes({page});
  quorvel::test::RunResult result = quorvel::test::RunFilter(run);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  return result;
}

TEST(JobPreamble, MissingOutputDpiFallsBackToTheRasterResolution) {
  // A fixed label of 210 mm at 300 dpi is 2480.3 dots long (plus 0.5, truncated) where 0 dpi
  // would give 0.
  quorvel::test::PpdSpec spec;
  spec.outputDpi = "";
  spec.options = {NumericOption("FixedHeight", "2", {"2"})};
  const quorvel::test::RunResult result = RunJob(spec, 300);
  EXPECT_NE(result.out.find(" dot,2480 dot\r\n"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("DEBUG: The PPD has no OutputDPI keyword; printing at 300 dpi."),
            std::string::npos)
      << result.err;
}

}  // namespace
