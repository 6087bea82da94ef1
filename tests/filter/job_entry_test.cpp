// The filter as CUPS runs it, through the built executable: argument counts, input from
// standard input or a file, PPD failures, empty jobs, the page order seen in the trace,
// cancel by SIGTERM, rejected pages inside a job, and the job's "Mirror" choice.
#include <cups/ppd.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "filter/rastoqevtspl.h"
#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace qevtest {
namespace {

const char kUsage[] = "rastertoqevcp job-id user title copies options [file]";

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

class JobEntry : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WritePpdFile(ppd_, PpdSpec{})); }
  FilterRun Run(const std::vector<std::string>& args, const std::string& input = "") {
    FilterRun run;
    run.args = args;
    run.ppd = ppd_;
    run.stdinData = input;
    return run;
  }
  static std::vector<RasterPage> Pages(int n) {
    std::vector<RasterPage> pages(n);
    for (RasterPage& p : pages) p.fill = GradientRgb();
    return pages;
  }
  TempDir dir_;
  std::string ppd_ = dir_.file("printer.ppd");
};

class ArgumentCount : public JobEntry, public testing::WithParamInterface<int> {};

TEST_P(ArgumentCount, PrintsUsageAndEndsWithZero) {
  std::vector<std::string> args(GetParam() - 1, "x");  // argc counts the program name
  RunResult r = RunFilter(Run(args, RasterBytes(Pages(1))));
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, kUsage);
  EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(Counts, ArgumentCount, testing::Values(1, 2, 5, 8));

TEST_F(JobEntry, ReadsStandardInputWithSixArgumentsAndTheFileWithSeven) {
  const std::string raster = RasterBytes(Pages(2));
  const std::string file = dir_.file("job.ras");
  ASSERT_TRUE(WriteFile(file, raster));
  RunResult fromStdin = RunFilter(Run(JobArgs(), raster));
  RunResult fromFile = RunFilter(Run(JobArgs("", file), "not a raster"));
  EXPECT_EQ(fromStdin.exitStatus, 0);
  EXPECT_EQ(fromFile.exitStatus, 0);
  EXPECT_EQ(fromStdin.err, "");
  EXPECT_EQ(fromFile.err, "");
  EXPECT_EQ(Count(fromStdin.out, "PRINT "), 2u) << fromStdin.out;
  EXPECT_EQ(fromStdin.out, fromFile.out);
}

TEST_F(JobEntry, UnopenableRasterFile) {
  auto start = std::chrono::steady_clock::now();
  RunResult r = RunFilter(Run(JobArgs("", dir_.file("missing.ras"))));
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "ERROR: Unable to open raster file");
  EXPECT_EQ(r.out, "");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900))
      << "the one-second pause after the message";
}

// The library's own text and line for `path`, as the filter must report them.
std::string PpdError(const char* path) {
  ppd_file_t* ppd = ppdOpenFile(path);
  EXPECT_EQ(ppd, nullptr);
  int line = 0;
  ppd_status_t status = ppdLastError(&line);
  return "The PPD file could not be opened." + std::string(ppdErrorString(status)) + " on line " +
         std::to_string(line) + ".";
}

TEST_F(JobEntry, PpdFailuresReportTheLibraryErrorAndLine) {
  const std::string raster = RasterBytes(Pages(1));
  FilterRun run = Run(JobArgs(), raster);
  run.ppd = dir_.file("missing.ppd");
  RunResult missing = RunFilter(run);
  EXPECT_EQ(missing.exitStatus, 0);
  EXPECT_EQ(missing.err, PpdError(run.ppd.c_str()));
  EXPECT_EQ(missing.out, "");

  run.ppd = dir_.file("broken.ppd");
  ASSERT_TRUE(WriteFile(run.ppd, "*PPD-Adobe: \"4.3\"\n*ModelName: \"x\"\n*Bad\001Key: \"1\"\n"));
  RunResult broken = RunFilter(run);
  EXPECT_EQ(broken.exitStatus, 0);
  EXPECT_EQ(broken.err, PpdError(run.ppd.c_str()));
  EXPECT_NE(broken.err.find(" on line 3."), std::string::npos) << broken.err;

  run.unsetPpd = true;
  RunResult unset = RunFilter(run);
  EXPECT_EQ(unset.exitStatus, 0);
  EXPECT_EQ(unset.err.rfind("The PPD file could not be opened.", 0), 0u) << unset.err;
  EXPECT_EQ(unset.out, "");
}

TEST_F(JobEntry, EmptyStreamsFindNoPages) {
  // The bare synchronisation word, as the CUPS chain sends for a document without pages,
  // and an input with no raster stream at all.
  for (const std::string& input : {RasterBytes({}), std::string()}) {
    RunResult r = RunFilter(Run(JobArgs(), input));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "No pages were found.");
    EXPECT_EQ(r.out, "") << "no preamble without a first page";
  }
}

TEST_F(JobEntry, ThreePagesRenderInOrderAfterTheNextHeader) {
  TraceLog trace;
  RunResult r = RunFilter(Run(JobArgs(), RasterBytes(Pages(3))));
  ASSERT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> m = trace.Messages(r.pid);
  const std::string stars(30, '*');
  auto start = [&](int n) { return stars + "Start Page " + std::to_string(n) + " " + stars; };
  auto handoff = [](int n) { return "curPage is " + std::to_string(n) + ", bufStart is 0x"; };
  auto findPrefix = [&](const std::string& prefix, int from) {
    for (size_t i = size_t(from); i < m.size(); ++i)
      if (m[i].rfind(prefix, 0) == 0) return int(i);
    return -1;
  };
  const int s1 = FindMessage(m, start(1));
  ASSERT_GE(s1, 0) << "no trace records for pid " << r.pid;
  // The nineteen header records follow the banner, in their fixed order.
  const char* fields[] = {"Duplex = 0",
                          "HWResolution = [ 203 203 ]",
                          "ImagingBoundingBox = [ 0 0 5 2 ]",
                          "Margins = [ 0 0 ]",
                          "ManualFeed = 0",
                          "MediaPosition = 0",
                          "NumCopies = 1",
                          "Orientation = 0",
                          "PageSize = [ 5 2 ]",
                          "cupsWidth = 16",
                          "cupsHeight = 8",
                          "cupsMediaType = 0",
                          "cupsBitsPerColor = 8",
                          "cupsBitsPerPixel = 24",
                          "cupsBytesPerLine = 48",
                          "cupsColorOrder = 0",
                          "cupsColorSpace = 1",
                          "cupsCompression = 0"};
  for (size_t i = 0; i < 18; ++i) EXPECT_EQ(m[size_t(s1) + 1 + i], fields[i]);
  const int config = FindMessage(m, "Begin to initialize configures", s1);
  const int s2 = FindMessage(m, start(2), s1);
  const int h1 = findPrefix(handoff(1), s1);
  const int s3 = FindMessage(m, start(3), s1);
  const int h2 = findPrefix(handoff(2), s1);
  const int h3 = findPrefix(handoff(3), s1);
  EXPECT_LT(s1, config);
  EXPECT_LT(config, s2);
  EXPECT_LT(s2, h1) << "page 2's banner comes before page 1 is rendered";
  EXPECT_LT(h1, s3);
  EXPECT_LT(s3, h2);
  EXPECT_LT(h2, h3);
  EXPECT_EQ(m[size_t(h3) + 1], "pbufstart != null && dwcurpagenum > 0");
  EXPECT_EQ(Count(r.out, "PRINT "), 3u);
  for (const std::string& text : m)
    EXPECT_EQ(text.find("geometry"), std::string::npos) << "one geometry: no extra records";
}

TEST_F(JobEntry, SigtermStillRendersTheBufferedPage) {
  TraceLog trace;
  FilterProcess proc(Run(JobArgs()));
  ASSERT_TRUE(proc.started());
  const std::vector<RasterPage> pages = Pages(3);
  const std::string two = RasterBytes({pages[0], pages[1]});
  ASSERT_TRUE(proc.Write(two));
  // Page 1 has been handed off once page 2's header was read: the loop (and so the
  // handler) is in place. Then wait until page 2's pixels are all taken from the pipe.
  bool looping = false;
  for (int i = 0; i < 2000 && !looping; ++i) {
    for (const std::string& m : trace.Messages(proc.pid()))
      looping |= m.rfind("curPage is 1,", 0) == 0;
    if (!looping) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(looping);
  ASSERT_TRUE(proc.WaitStdinDrained(10000));
  ASSERT_TRUE(proc.Signal(SIGTERM));
  // A third page after the cancel must not be started.
  const std::string three = RasterBytes(pages);
  proc.Write(three.substr(two.size()));
  RunResult r = proc.Finish();
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> m = trace.Messages(r.pid);
  const std::string stars(30, '*');
  EXPECT_EQ(FindMessage(m, stars + "Start Page 3 " + stars), -1);
  bool renderedTwo = false;
  for (const std::string& text : m) renderedTwo |= text.rfind("curPage is 2,", 0) == 0;
  EXPECT_TRUE(renderedTwo);
  EXPECT_EQ(Count(r.out, "PRINT "), 2u);
}

TEST_F(JobEntry, RejectedPageIsSkippedAndTheJobGoesOn) {
  std::vector<RasterPage> pages = Pages(3);
  pages[1].tweak = [](cups_page_header2_t& h) { h.cupsBytesPerLine += 3; };
  RunResult r = RunFilter(Run(JobArgs(), RasterBytes(pages)));
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err,
            "ERROR: Page 2 skipped: cupsBytesPerLine 51 does not match 16 pixels of 24 bits\n");
  EXPECT_EQ(Count(r.out, "PRINT "), 2u);
}

TEST_F(JobEntry, PagesOfAnotherSizeAreRenderedWithTheirOwnGeometry) {
  TraceLog trace;
  std::vector<RasterPage> pages = Pages(3);
  pages[1].width = 24;
  pages[1].height = 4;
  pages[2].colorSpace = CUPS_CSPACE_K;
  pages[2].bitsPerColor = 1;
  RunResult r = RunFilter(Run(JobArgs(), RasterBytes(pages)));
  ASSERT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> m = trace.Messages(r.pid);
  EXPECT_NE(FindMessage(m,
                        "Page 2 geometry: biWidth 24, biHeight 4, biBitCount 24, "
                        "dmPrintQuality 203, dmYResolution 203"),
            -1);
  EXPECT_NE(FindMessage(m,
                        "Page 3 geometry: biWidth 16, biHeight 8, biBitCount 8, "
                        "dmPrintQuality 203, dmYResolution 203"),
            -1);
  EXPECT_NE(r.out.find("SIZE 24 dot,4 dot"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.out, "PRINT "), 3u);
}

TEST_F(JobEntry, OneBitFirstPageIsDescribedAsTheGrayBufferItBecomes) {
  TraceLog trace;
  std::vector<RasterPage> pages = Pages(1);
  pages[0].colorSpace = CUPS_CSPACE_W;
  pages[0].bitsPerColor = 1;
  RunResult r = RunFilter(Run(JobArgs(), RasterBytes(pages)));
  ASSERT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> m = trace.Messages(r.pid);
  const int init = FindMessage(m, "Init bmInfoHeader.biBitCount: 1");
  const int fixed = FindMessage(m,
                                "Page 1 geometry: biWidth 16, biHeight 8, biBitCount 8, "
                                "dmPrintQuality 203, dmYResolution 203");
  EXPECT_GE(init, 0);
  EXPECT_GT(fixed, init);
  EXPECT_EQ(Count(r.out, "PRINT "), 1u);
}

TEST(CloseStreamFile, ClosesTheFileButNeverStandardInput) {
  TempDir dir;
  const std::string path = dir.file("one.ras");
  ASSERT_TRUE(WriteRasterFile(path, {RasterPage{}}));
  for (bool fromStdin : {false, true}) {
    int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const int saved = fromStdin ? dup(0) : -1;
    if (fromStdin) {
      dup2(fd, 0);
      close(fd);
      fd = 0;
    }
    ppd_file_t* ppd = nullptr;
    std::string ppdPath = dir.file("p.ppd");
    ASSERT_TRUE(WritePpdFile(ppdPath, PpdSpec{}));
    ppd = ppdOpenFile(ppdPath.c_str());
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
    testing::internal::CaptureStderr();
    CloseStreamFile(ppd, raster, fd, fromStdin ? 0 : 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, fromStdin ? "No pages were found." : "");
    if (fromStdin) {
      EXPECT_NE(fcntl(0, F_GETFD), -1) << "descriptor 0 stays open";
      dup2(saved, 0);
      close(saved);
    } else {
      EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "the raster file is closed";
    }
  }
}

// A PPD with a printer option "Mirror" (choices named so pdftopdf leaves them alone).
PpdSpec MirrorPpd() {
  PpdSpec spec;
  spec.options.push_back(NumericOption("Mirror", "0", {"0", "1"}, "M"));
  return spec;
}

TEST(MirrorOption, JobChoiceIsMarkedDespiteCupsMirrorPrintMapping) {
  TempDir dir;
  const std::string path = dir.file("mirror.ppd");
  ASSERT_TRUE(WritePpdFile(path, MirrorPpd()));
  for (const char* options : {"Mirror=M1", "mirror=M1 Density=3", "MIRROR=M1"}) {
    ppd_file_t* ppd = ppdOpenFile(path.c_str());
    ASSERT_NE(ppd, nullptr);
    InitializeSetting(options, ppd);
    ppd_choice_t* choice = ppdFindMarkedChoice(ppd, "Mirror");
    ASSERT_NE(choice, nullptr);
    EXPECT_STREQ(choice->choice, "M1") << options;
    ppdClose(ppd);
  }
  ppd_file_t* ppd = ppdOpenFile(path.c_str());
  InitializeSetting("copies=2", ppd);
  EXPECT_STREQ(ppdFindMarkedChoice(ppd, "Mirror")->choice, "M0");
  ppdClose(ppd);
}

TEST(MirrorOption, JobChoiceReachesTheSettingsThroughTheExecutable) {
  TempDir dir;
  TraceLog trace;
  FilterRun run;
  run.ppd = dir.file("mirror.ppd");
  ASSERT_TRUE(WritePpdFile(run.ppd, MirrorPpd()));
  run.args = JobArgs("mirror=M1");
  RasterPage page;
  run.stdinData = RasterBytes({page});
  RunResult r = RunFilter(run);
  ASSERT_EQ(r.exitStatus, 0);
  EXPECT_NE(FindMessage(trace.Messages(r.pid), "Init sMirror: 1"), -1);
}

}  // namespace
}  // namespace qevtest
