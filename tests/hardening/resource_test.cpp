// Resource use of the filter executable: a long job runs in constant memory (no growth per
// page), and a 4 x 6 inch page at 300 dpi peaks within a few page buffers. Peaks come from
// the kernel's record of the child (ru_maxrss); the figures are printed for the record.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/job_checks.h"
#include "tests/support/raster_writer.h"

namespace quorvel::test {
namespace {

struct Measured {
  int exitStatus = -1;
  long maxRssKb = 0;
  std::string out, err;
};

// Runs the filter on the raster file `raster` (argv[6]) and reports its peak memory.
Measured RunMeasured(const TempDir& dir, const std::string& ppd, const std::string& raster) {
  const std::string outPath = dir.file("out.tspl"), errPath = dir.file("err.txt");
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    setenv("PPD", ppd.c_str(), 1);
    setenv("QEVCP_TRACE", "off", 1);  // thousands of pages would only grow the shared trace
#if defined(QEV_SANITIZE_ASAN)
    // Freed blocks are held back by the quarantine, which would look like growth.
    std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
    asan += ":quarantine_size_mb=1:thread_local_quarantine_size_kb=64";
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
#endif
    const std::string exe = FilterExe();
    execl(exe.c_str(), exe.c_str(), "1", "user", "title", "1", "", raster.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  Measured m;
  int status = 0;
  struct rusage usage {};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
    m.exitStatus = WEXITSTATUS(status);
  }
  m.maxRssKb = usage.ru_maxrss;
  m.out = ReadFile(outPath);
  m.err = ReadFile(errPath);
  return m;
}

RasterPage Tiny() {
  RasterPage p;
  p.width = 32;
  p.height = 16;
  p.fill = GradientRgb();
  return p;
}

// 2000 pages need no more memory than 200: nothing is kept per page.
TEST(Resources, LongJobRunsInConstantMemory) {
  TempDir dir;
  const std::string shortJob = dir.file("short.ras"), longJob = dir.file("long.ras");
  ASSERT_TRUE(WriteRasterFile(shortJob, std::vector<RasterPage>(200, Tiny())));
  ASSERT_TRUE(WriteRasterFile(longJob, std::vector<RasterPage>(2000, Tiny())));
  const Measured few = RunMeasured(dir, SamplePpd(), shortJob);
  const Measured many = RunMeasured(dir, SamplePpd(), longJob);
  ASSERT_EQ(few.exitStatus, 0);
  ASSERT_EQ(many.exitStatus, 0);
  // Nothing but the page accounting: one "PAGE: n 1" line per label.
  EXPECT_EQ(many.err.find("ERROR"), std::string::npos) << many.err.substr(0, 200);
  EXPECT_EQ(std::count(many.err.begin(), many.err.end(), '\n'), 2000);
  EXPECT_NE(many.err.find("\nPAGE: 2000 1\n"), std::string::npos);
  const Tspl tspl = ReadTspl(many.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;
  EXPECT_EQ(tspl.labels, 2000);
  EXPECT_EQ(ReadTspl(few.out).labels, 200);
  std::cout << "peak memory: 200 pages " << few.maxRssKb << " KiB, 2000 pages " << many.maxRssKb
            << " KiB\n";
  // A leak of even 1 KiB per page would add 1800 KiB.
  EXPECT_LE(many.maxRssKb, few.maxRssKb + 1024);
}

// A 4 x 6 inch label at 300 dpi (1200 x 1800 pixels, a 6.5 MB page buffer) on a 300 dpi
// printer, against a tiny page: the difference stays within a few page buffers.
TEST(Resources, PeakMemoryOfALabelIsAFewPageBuffers) {
#if defined(QEV_SANITIZE_ASAN) || defined(QEV_SANITIZE_TSAN)
  GTEST_SKIP() << "sanitizer shadow memory makes the peak meaningless";
#endif
  TempDir dir;
  // The sample printer's options, at 300 dpi.
  std::string text = ReadFile(SamplePpd());
  const size_t dpi = text.find("*OutputDPI: \"203\"");
  ASSERT_NE(dpi, std::string::npos);
  text.replace(dpi, 18, "*OutputDPI: \"300\"");
  const std::string ppd = dir.file("p300.ppd");
  ASSERT_TRUE(WriteFile(ppd, text));
  RasterPage label;
  label.width = 1200;
  label.height = 1800;
  label.xdpi = label.ydpi = 300;
  label.fill = GradientRgb();
  RasterPage tiny = Tiny();
  tiny.xdpi = tiny.ydpi = 300;
  ASSERT_TRUE(WriteRasterFile(dir.file("label.ras"), {label}));
  ASSERT_TRUE(WriteRasterFile(dir.file("tiny.ras"), {tiny}));
  const Measured base = RunMeasured(dir, ppd, dir.file("tiny.ras"));
  const Measured big = RunMeasured(dir, ppd, dir.file("label.ras"));
  ASSERT_EQ(base.exitStatus, 0);
  ASSERT_EQ(big.exitStatus, 0);
  const Tspl tspl = ReadTspl(big.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;
  EXPECT_EQ(tspl.labels, 1) << big.err;
  const long pageBufferKb = 1200L * 3 * 1800 / 1024;
  std::cout << "peak memory: tiny page " << base.maxRssKb << " KiB, 4x6 in at 300 dpi "
            << big.maxRssKb << " KiB (page buffer " << pageBufferKb << " KiB)\n";
  EXPECT_LE(big.maxRssKb - base.maxRssKb, 4 * pageBufferKb);
}

}  // namespace
}  // namespace quorvel::test
