// Whole jobs through the filter executable: absurd option values in the PPD
// (absurd-options.txt) still give complete TSPL, and a long job runs in constant memory.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "tests/support/job_checks.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"  // ReadableTspl

namespace quorvel::test {
namespace {

// `pages` small pages, gradient and black by turns, from a raster file (argv[6]): a job held
// in memory here would count in the forked filter's peak.
RunResult RunJob(const std::string& ppd, size_t pages = 2,
                 const std::map<std::string, std::string>& env = {}) {
  RasterPage gradient;
  gradient.width = 64;
  gradient.height = 32;
  gradient.fill = GradientRgb();
  RasterPage black = gradient;
  black.fill = SolidRgb(0, 0, 0);
  std::vector<RasterPage> job;
  while (job.size() < pages) job.push_back(job.size() % 2 ? black : gradient);
  TempDir dir;
  EXPECT_TRUE(WriteRasterFile(dir.file("job.ras"), job));
  FilterRun run;
  run.args = JobArgs("", dir.file("job.ras"));
  run.ppd = ppd;
  run.env = env;
  return RunFilter(run);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
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
    TestPpd model;  // the sample printer's values for every other option
    std::istringstream others("Density 8 PrintSpeed 4 MediaType 1 GAPHeight 3 MaxOutputWidth 104");
    for (std::string k, v; others >> k >> v;) {
      if (k != keyword) model.options.push_back(NumericOption(k, v, {v}, k.substr(0, 1)));
    }
    model.options.push_back({keyword, "Absurd", {{"Absurd", code}}});
    ASSERT_TRUE(WritePpdFile(dir.file("absurd.ppd"), model));
    const RunResult r = RunJob(dir.file("absurd.ppd"));
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

// 2000 pages need no more memory than 200: nothing is kept per page. The peaks come from the
// kernel's record of the waited children (ru_maxrss).
TEST(Resources, LongJobRunsInConstantMemory) {
  std::map<std::string, std::string> env = {{"QEVCP_TRACE", "off"}};  // spare the shared trace
#if defined(QEV_SANITIZE_ASAN)
  // Freed blocks are held back by the quarantine, which would look like growth.
  const char* asan = getenv("ASAN_OPTIONS");
  env["ASAN_OPTIONS"] =
      std::string(asan ? asan : "") + ":quarantine_size_mb=1:thread_local_quarantine_size_kb=64";
#endif
  long peakKb[2] = {};
  for (size_t pages : {200, 2000}) {
    const RunResult r = RunJob(SamplePpd(), pages, env);
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    peakKb[pages > 200] = usage.ru_maxrss;
    ExpectCleanEnd(r);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(size_t(std::count(r.pages.begin(), r.pages.end(), '\n')), pages);  // "PAGE: n 1"
    const Tspl tspl = ReadTspl(r.out);
    EXPECT_TRUE(tspl.complete) << tspl.error;
    EXPECT_EQ(size_t(tspl.labels), pages);
  }
  std::cout << "peak KiB: 200 pages " << peakKb[0] << ", 2000 pages " << peakKb[1] << "\n";
  EXPECT_LE(peakKb[1], peakKb[0] + 1024);  // a leak of even 1 KiB per page would add 1800 KiB
}

}  // namespace
}  // namespace quorvel::test
