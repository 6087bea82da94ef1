// Checks of the shared test-support library: the streams it writes read back through
// libcups as described, and the runner captures a process and kills it at its deadline.
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"

namespace qevtest {
namespace {

TEST(TestSupport, RasterHeadersRoundTripThroughLibcups) {
  TempDir dir;
  RasterPage a;
  a.width = 5;
  a.copies = 3;
  a.collate = true;
  RasterPage b;
  b.width = 9;
  b.xdpi = b.ydpi = 300;
  b.colorSpace = CUPS_CSPACE_K;
  b.bitsPerColor = 1;
  ASSERT_TRUE(WriteRasterFile(dir.file("in.ras"), {a, b}));
  int fd = open(dir.file("in.ras").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  std::vector<std::vector<unsigned>> seen;
  cups_page_header2_t h;
  std::vector<uint8_t> row(64);
  while (cupsRasterReadHeader2(ras, &h)) {
    seen.push_back({h.cupsWidth, h.cupsBitsPerPixel, h.cupsBytesPerLine, h.cupsColorSpace,
                    h.NumCopies, h.Collate, h.HWResolution[0], h.HWResolution[1]});
    for (uint32_t y = 0; y < h.cupsHeight; ++y)
      ASSERT_EQ(cupsRasterReadPixels(ras, row.data(), h.cupsBytesPerLine), h.cupsBytesPerLine);
  }
  cupsRasterClose(ras);
  close(fd);
  const std::vector<std::vector<unsigned>> expected = {
      {5, 24, 15, CUPS_CSPACE_RGB, 3, CUPS_TRUE, 203, 203},
      {9, 1, 2, CUPS_CSPACE_K, 1, CUPS_FALSE, 300, 300}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(RasterBytes({}).size(), 4u);  // the synchronisation word alone
}

TEST(TestSupport, RunnerCapturesStreamsStatusAndTimeout) {
  // /bin/sh stands in for the filter: the runner must not depend on what it runs.
  FilterRun run;
  run.exe = "/bin/sh";
  run.args = {"-c", "cat; echo err >&2; echo \"$PPD\"; exit 3"};
  run.ppd = "/x.ppd";
  run.stdinData = "abc";
  RunResult r = RunFilter(run);
  EXPECT_EQ(r.exitStatus, 3);
  EXPECT_EQ(r.out, "abc/x.ppd\n");
  EXPECT_EQ(r.err, "err\n");
  EXPECT_FALSE(r.timedOut);
  run.args = {"-c", "sleep 30"};
  run.timeoutMs = 100;
  r = RunFilter(run);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.termSignal, SIGKILL);
}

}  // namespace
}  // namespace qevtest
