// Resource use of the filter executable: a long job runs in constant memory (no growth per
// page). The peaks come from the kernel's record of the waited children (ru_maxrss).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>

#include "tests/support/job_checks.h"
#include "tests/support/raster_writer.h"

namespace quorvel::test {
namespace {

// Runs `pages` tiny pages from a raster file (argv[6]); the peak of all children so far.
long RunPages(const TempDir& dir, size_t pages, RunResult* r) {
  RasterPage tiny;
  tiny.width = 32;
  tiny.height = 16;
  tiny.fill = GradientRgb();
  const std::string raster = dir.file(std::to_string(pages) + ".ras");
  EXPECT_TRUE(WriteRasterFile(raster, std::vector<RasterPage>(pages, tiny)));
  FilterRun run;
  run.args = JobArgs("", raster);
  run.ppd = SamplePpd();
  run.env["QEVCP_TRACE"] = "off";  // thousands of pages would only grow the shared trace
#if defined(QEV_SANITIZE_ASAN)
  // Freed blocks are held back by the quarantine, which would look like growth.
  const char* asan = getenv("ASAN_OPTIONS");
  run.env["ASAN_OPTIONS"] =
      std::string(asan ? asan : "") + ":quarantine_size_mb=1:thread_local_quarantine_size_kb=64";
#endif
  *r = RunFilter(run);
  struct rusage usage {};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss;
}

// 2000 pages need no more memory than 200: nothing is kept per page.
TEST(Resources, LongJobRunsInConstantMemory) {
  TempDir dir;
  RunResult few, many;
  const long fewKb = RunPages(dir, 200, &few), manyKb = RunPages(dir, 2000, &many);
  ExpectCleanEnd(few);
  ExpectCleanEnd(many);
  EXPECT_EQ(many.err, "");
  EXPECT_EQ(std::count(many.pages.begin(), many.pages.end(), '\n'), 2000);  // "PAGE: n 1" each
  const Tspl tspl = ReadTspl(many.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;
  EXPECT_EQ(tspl.labels, 2000);
  std::cout << "peak memory: 200 pages " << fewKb << " KiB, 2000 pages " << manyKb << " KiB\n";
  EXPECT_LE(manyKb, fewKb + 1024);  // a leak of even 1 KiB per page would add 1800 KiB
}

}  // namespace
}  // namespace quorvel::test
