// Checks of the shared test-support library: the streams it writes read back through
// libcups as described, its PPDs open with ppdOpenFile, and the runner captures a process.
#include <cups/ppd.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace qevtest {
namespace {

TEST(TestSupport, RasterRoundTripsThroughLibcups) {
  TempDir dir;
  RasterPage a;
  a.width = 5;
  a.height = 3;
  a.copies = 3;
  a.collate = true;
  a.fill = GradientRgb();
  RasterPage b;
  b.width = 9;
  b.height = 2;
  b.xdpi = b.ydpi = 300;
  b.colorSpace = CUPS_CSPACE_K;
  b.bitsPerColor = 1;
  b.fill = SolidByte(0xA5);
  const std::string path = dir.file("in.ras");
  ASSERT_TRUE(WriteRasterFile(path, {a, b}));

  int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t h;
  ASSERT_TRUE(cupsRasterReadHeader2(ras, &h));
  EXPECT_EQ(h.cupsWidth, 5u);
  EXPECT_EQ(h.cupsHeight, 3u);
  EXPECT_EQ(h.cupsBitsPerPixel, 24u);
  EXPECT_EQ(h.cupsBytesPerLine, 15u);
  EXPECT_EQ(h.NumCopies, 3u);
  EXPECT_EQ(h.Collate, CUPS_TRUE);
  EXPECT_EQ(h.HWResolution[0], 203u);
  std::vector<uint8_t> row(15);
  for (uint32_t y = 0; y < 3; ++y) {
    ASSERT_EQ(cupsRasterReadPixels(ras, row.data(), 15), 15u);
    EXPECT_EQ(row[3 * 4 + 0], 4);  // R = x
    EXPECT_EQ(row[3 * 4 + 1], y);  // G = y
    EXPECT_EQ(row[3 * 4 + 2], 4 + y);
  }
  ASSERT_TRUE(cupsRasterReadHeader2(ras, &h));
  EXPECT_EQ(h.cupsBitsPerPixel, 1u);
  EXPECT_EQ(h.cupsBytesPerLine, 2u);
  EXPECT_EQ(h.cupsColorSpace, CUPS_CSPACE_K);
  EXPECT_EQ(h.HWResolution[1], 300u);
  ASSERT_EQ(cupsRasterReadPixels(ras, row.data(), 2), 2u);
  EXPECT_EQ(row[0], 0xA5);
  cupsRasterClose(ras);
  close(fd);

  EXPECT_EQ(RasterBytes({}).size(), 4u);  // the synchronisation word alone
}

TEST(TestSupport, PpdOpensWithOptionsAndDefaults) {
  TempDir dir;
  PpdSpec spec;
  spec.options.push_back(NumericOption("Density", "8", {"0", "8", "-1", "2.5"}, "D"));
  ASSERT_TRUE(WritePpdFile(dir.file("t.ppd"), spec));
  ppd_file_t* ppd = ppdOpenFile(dir.file("t.ppd").c_str());
  ASSERT_NE(ppd, nullptr) << ppdErrorString(ppdLastError(nullptr));
  ppdMarkDefaults(ppd);
  ppd_choice_t* c = ppdFindMarkedChoice(ppd, "Density");
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(c->choice, "D8");
  EXPECT_STREQ(c->code, "8");
  EXPECT_NE(ppdFindChoice(ppdFindOption(ppd, "Density"), "Dm1"), nullptr);
  EXPECT_NE(ppdFindChoice(ppdFindOption(ppd, "Density"), "D2p5"), nullptr);
  ppd_attr_t* dpi = ppdFindAttr(ppd, "OutputDPI", nullptr);
  ASSERT_NE(dpi, nullptr);
  EXPECT_STREQ(dpi->value, "203");
  ppdClose(ppd);
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

TEST(TestSupport, TraceRecordsParseAndSplitTheirSourcePosition) {
  const std::string text =
      "20261206 19:34:06.895 [15168] LOG_DEBUG curPage is 1, bufStart is 0x1 page_loop.cpp:40\r\n"
      "garbage line\r\n"
      "20261206 19:34:06.896 [0042] LOG_INFO a:b c x.cpp:7\r\n"
      "20261206 19:34:06.897 [15168] LOG_DEBUG partial";
  std::vector<TraceRecord> r = ParseTrace(text);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].tid, 15168);
  EXPECT_EQ(r[0].level, "LOG_DEBUG");
  EXPECT_EQ(r[0].message, "curPage is 1, bufStart is 0x1");
  EXPECT_EQ(r[0].source, "page_loop.cpp:40");
  EXPECT_EQ(r[1].tid, 42);
  EXPECT_EQ(r[1].message, "a:b c");
}

}  // namespace
}  // namespace qevtest
