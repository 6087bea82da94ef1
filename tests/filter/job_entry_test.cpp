// The filter as CUPS runs it, through the built executable: argument counts, input from
// standard input or a file, the failure texts, the page order seen in the trace, cancel by
// SIGTERM, pages of other formats or rejected inside a job, and the job's "Mirror" choice.
#include <cups/ppd.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

std::string StartPage(int n) {
  const std::string stars(30, '*');
  return stars + "Start Page " + std::to_string(n) + " " + stars;
}

// Index of the first message starting with `prefix` at or after `from`, or -1.
int FindPrefix(const std::vector<std::string>& m, const std::string& prefix, int from = 0) {
  for (size_t i = size_t(from); i < m.size(); ++i)
    if (m[i].rfind(prefix, 0) == 0) return int(i);
  return -1;
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

TEST_F(JobEntry, ArgumentCountsAndInputs) {
  const std::string raster = RasterBytes(Pages(2));
  for (int argc : {1, 2, 5, 8}) {  // argc counts the program name
    RunResult r = RunFilter(Run(std::vector<std::string>(argc - 1, "x"), raster));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "ERROR: rastertoqevcp job-id user title copies options [file]\n") << argc;
    EXPECT_EQ(r.out, "");
  }
  // Six arguments read standard input, seven the named file.
  ASSERT_TRUE(WriteFile(dir_.file("job.ras"), raster));
  RunResult fromStdin = RunFilter(Run(JobArgs(), raster));
  RunResult fromFile = RunFilter(Run(JobArgs("", dir_.file("job.ras")), "not a raster"));
  EXPECT_EQ(fromStdin.exitStatus, 0);
  EXPECT_EQ(fromFile.exitStatus, 0);
  EXPECT_EQ(fromStdin.err + fromFile.err, "");
  EXPECT_EQ(fromStdin.pages, "PAGE: 1 1\nPAGE: 2 1\n");
  EXPECT_EQ(Count(fromStdin.out, "PRINT "), 2u) << fromStdin.out;
  EXPECT_EQ(fromStdin.out, fromFile.out);
}

// The library's own text and line for `path` (null: PPD unset), as the filter must report them.
std::string PpdError(const char* path) {
  EXPECT_EQ(ppdOpenFile(path), nullptr);
  int line = 0;
  ppd_status_t status = ppdLastError(&line);
  return "ERROR: The PPD file could not be opened.\nERROR: " + std::string(ppdErrorString(status)) +
         " on line " + std::to_string(line) + ".\n";
}

// Each failure is whole "ERROR: " lines for cupsd's job and printer state, and status 1 so
// that the job is not reported as completed.
TEST_F(JobEntry, FailuresWriteErrorLinesAndEndWithOne) {
  const std::string raster = RasterBytes(Pages(1));
  const std::string broken = dir_.file("broken.ppd");
  ASSERT_TRUE(WriteFile(broken, "*PPD-Adobe: \"4.3\"\n*ModelName: \"x\"\n*Bad\001Key: \"1\"\n"));
  struct Case {
    FilterRun run;
    std::string err;
  };
  std::vector<Case> cases = {
      {Run(JobArgs("", dir_.file("missing.ras"))), "ERROR: Unable to open raster file\n"},
      {Run(JobArgs(), raster), PpdError(dir_.file("missing.ppd").c_str())},
      {Run(JobArgs(), raster), PpdError(broken.c_str())},
      {Run(JobArgs(), raster), PpdError(nullptr)},
      // The bare synchronisation word (a document without pages) and no stream at all.
      {Run(JobArgs(), RasterBytes({})), "ERROR: No pages were found.\n"},
      {Run(JobArgs(), ""), "ERROR: No pages were found.\n"}};
  cases[1].run.ppd = dir_.file("missing.ppd");
  cases[2].run.ppd = broken;
  cases[3].run.unsetPpd = true;
  EXPECT_NE(cases[2].err.find(" on line 3."), std::string::npos) << cases[2].err;
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    RunResult r = RunFilter(c.run);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "") << "no preamble without a first page";
    if (&c == &cases[0]) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900))
          << "the one-second pause after the message";
    }
  }
}

TEST_F(JobEntry, ThreePagesRenderInOrderAfterTheNextHeader) {
  TraceLog trace;
  RunResult r = RunFilter(Run(JobArgs(), RasterBytes(Pages(3))));
  ASSERT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> m = trace.Messages(r.pid);
  const int s1 = FindMessage(m, StartPage(1));
  ASSERT_GE(s1, 0) << "no trace records for pid " << r.pid;
  ASSERT_GE(m.size(), size_t(s1) + 19);
  // The header records follow the banner, in their fixed order.
  const std::vector<std::string> fields(m.begin() + s1 + 1, m.begin() + s1 + 19);
  const std::vector<std::string> expected = {"Duplex = 0",
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
  EXPECT_EQ(fields, expected);
  // Configuration, then page 2's banner before page 1 is handed off, and so on.
  const int order[] = {s1,
                       FindMessage(m, "Begin to initialize configures", s1),
                       FindMessage(m, StartPage(2), s1),
                       FindPrefix(m, "curPage is 1, bufStart is 0x", s1),
                       FindMessage(m, StartPage(3), s1),
                       FindPrefix(m, "curPage is 2, bufStart is 0x", s1),
                       FindPrefix(m, "curPage is 3, bufStart is 0x", s1)};
  for (size_t i = 1; i < std::size(order); ++i) EXPECT_LT(order[i - 1], order[i]) << i;
  EXPECT_EQ(m[size_t(order[6]) + 1], "pbufstart != null && dwcurpagenum > 0");
  EXPECT_EQ(Count(r.out, "PRINT "), 3u);
  EXPECT_EQ(FindPrefix(m, "Page "), -1) << "one geometry: no extra records";
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
  for (int i = 0; i < 2000 && FindPrefix(trace.Messages(proc.pid()), "curPage is 1,") < 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(FindPrefix(trace.Messages(proc.pid()), "curPage is 1,"), 0);
  ASSERT_TRUE(proc.WaitStdinDrained(10000));
  ASSERT_TRUE(proc.Signal(SIGTERM));
  // A third page after the cancel must not be started.
  proc.Write(RasterBytes(pages).substr(two.size()));
  RunResult r = proc.Finish();
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.pages, "PAGE: 1 1\nPAGE: 2 1\n");
  const std::vector<std::string> m = trace.Messages(r.pid);
  EXPECT_EQ(FindMessage(m, StartPage(3)), -1);
  EXPECT_GE(FindPrefix(m, "curPage is 2,"), 0);
  EXPECT_EQ(Count(r.out, "PRINT "), 2u);
}

// Each page is rendered with the geometry of its own buffer (1-bit pages become 8-bit gray);
// a malformed page is skipped with one line and the job goes on.
TEST_F(JobEntry, PagesOfOtherFormatsAndRejectedPages) {
  TraceLog trace;
  std::vector<RasterPage> pages = Pages(4);
  pages[0].colorSpace = CUPS_CSPACE_W;
  pages[0].bitsPerColor = 1;
  pages[1].width = 24;
  pages[1].height = 4;
  pages[2].tweak = [](cups_page_header2_t& h) { h.cupsBytesPerLine += 3; };
  pages[3].colorSpace = CUPS_CSPACE_K;
  pages[3].bitsPerColor = 1;
  RunResult r = RunFilter(Run(JobArgs(), RasterBytes(pages)));
  ASSERT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err,
            "ERROR: Page 3 skipped: cupsBytesPerLine 51 does not match 16 pixels of 24 bits\n");
  const std::vector<std::string> m = trace.Messages(r.pid);
  auto geometry = [](int page, int width, int height, int bits) {
    return "Page " + std::to_string(page) + " geometry: biWidth " + std::to_string(width) +
           ", biHeight " + std::to_string(height) + ", biBitCount " + std::to_string(bits) +
           ", dmPrintQuality 203, dmYResolution 203";
  };
  const int init = FindMessage(m, "Init bmInfoHeader.biBitCount: 1");
  EXPECT_GE(init, 0);
  EXPECT_GT(FindMessage(m, geometry(1, 16, 8, 8)), init);
  EXPECT_GE(FindMessage(m, geometry(2, 24, 4, 24)), 0);
  EXPECT_EQ(FindPrefix(m, "Page 3 geometry"), -1);
  EXPECT_GE(FindMessage(m, geometry(4, 16, 8, 8)), 0);
  EXPECT_NE(r.out.find("SIZE 24 dot,4 dot"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.out, "PRINT "), 3u);
  EXPECT_EQ(r.pages, "PAGE: 1 1\nPAGE: 2 1\nPAGE: 4 1\n") << "nothing counted for page 3";
}

// PAGE lines count the labels each page really printed (the header's copies), for cupsd's
// page log and quotas; a job whose every page is refused printed nothing and ends with 1,
// with the reasons on their ERROR lines.
TEST_F(JobEntry, PageLinesCountLabelsAndAJobWithoutLabelsFails) {
  std::vector<RasterPage> pages = Pages(3);
  for (RasterPage& p : pages) p.copies = 2;
  RunResult copies = RunFilter(Run(JobArgs("", "", "2"), RasterBytes(pages)));
  EXPECT_EQ(copies.exitStatus, 0);
  EXPECT_EQ(copies.pages, "PAGE: 1 2\nPAGE: 2 2\nPAGE: 3 2\n");
  EXPECT_EQ(Count(copies.out, "PRINT 1,2"), 3u);

  std::vector<RasterPage> cmyk(2);
  for (RasterPage& p : cmyk) {
    p.colorSpace = CUPS_CSPACE_CMY;
    p.fill = GradientRgb();
  }
  RunResult refused = RunFilter(Run(JobArgs(), RasterBytes(cmyk)));
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.pages, "");
  EXPECT_EQ(Count(refused.err, "ERROR: Page "), 2u) << refused.err;
  EXPECT_EQ(Count(refused.err, "\n"), 2u) << "one whole line per page, nothing else";
  EXPECT_EQ(Count(refused.out, "PRINT "), 0u);
}

// cupsMarkOptions() hands a job option "Mirror" to the PPD's "MirrorPrint": the printer's own
// "Mirror" option must still get the job's choice, whatever the case of its name.
TEST_F(JobEntry, MirrorChoiceReachesTheSettings) {
  PpdSpec spec;
  spec.options.push_back(NumericOption("Mirror", "0", {"0", "1"}, "M"));
  ASSERT_TRUE(WritePpdFile(ppd_, spec));
  const std::pair<const char*, const char*> cases[] = {{"mirror=M1 Density=3", "Init sMirror: 1"},
                                                       {"MIRROR=M1", "Init sMirror: 1"},
                                                       {"copies=2", "Init sMirror: 0"}};
  for (const auto& [options, record] : cases) {
    TraceLog trace;
    RunResult r = RunFilter(Run(JobArgs(options), RasterBytes({RasterPage{}})));
    ASSERT_EQ(r.exitStatus, 0);
    EXPECT_NE(FindMessage(trace.Messages(r.pid), record), -1) << options;
  }
}

}  // namespace
}  // namespace quorvel::test
