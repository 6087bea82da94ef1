// The job preamble through the built filter: a one-page job for PPDs with different media,
// print method, darkness, speed and after-print choices, compared byte for byte with the
// lines the settings call for, followed by the page's own output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"

namespace {

using qevtest::NumericOption;

struct JobCase {
  const char* name;
  std::vector<qevtest::PpdOption> options;
  std::string job_options;
  std::vector<std::string> preamble;  // the lines expected before the page
};

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The options of the eleven-line example; a case replaces some of them.
std::vector<qevtest::PpdOption> ExampleOptions() {
  return {NumericOption("MediaType", "1", {"0", "1", "2", "7"}),
          NumericOption("GAPHeight", "3", {"3", "2.5"}),
          NumericOption("GAPOffset", "0", {"0", "1"}),
          NumericOption("PrintMethod", "1", {"0", "1", "2", "3"}),
          NumericOption("Density", "8", {"8", "1000"}),
          NumericOption("PrintSpeed", "4", {"4", "1000", "-1", "65535"}),
          NumericOption("Feed", "0", {"0", "2"}),
          NumericOption("Mode", "3", {"0", "1", "2", "3", "4"})};
}

class JobPreambleTest : public ::testing::TestWithParam<JobCase> {};

TEST_P(JobPreambleTest, PreambleThenThePage) {
  const JobCase& c = GetParam();
  qevtest::TempDir dir;
  qevtest::PpdSpec spec;
  spec.options = c.options;
  ASSERT_TRUE(qevtest::WritePpdFile(dir.file("job.ppd"), spec));
  qevtest::RasterPage page;  // 16 x 8 white pixels at 203 dpi

  qevtest::FilterRun run;
  run.args = qevtest::JobArgs(c.job_options);
  run.ppd = dir.file("job.ppd");
  run.stdinData = qevtest::RasterBytes({page});
  qevtest::RunResult result = qevtest::RunFilter(run);

  EXPECT_EQ(result.exitStatus, 0);
  const std::string expected = Lines(c.preamble);
  ASSERT_GE(result.out.size(), expected.size()) << result.out;
  EXPECT_EQ(result.out.substr(0, expected.size()), expected);
  // The page follows at once, starting with its own CLS and SIZE.
  EXPECT_EQ(result.out.substr(expected.size(), 10), "CLS\r\nSIZE ");
}

const std::vector<std::string> kExample = {
    "CLS",     "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0", "REFERENCE 0,0", "DENSITY 8",
    "SPEED 4", "OFFSET 0 mm",   "SET TEAR ON",    "SET PEEL OFF",  "SET CUTTER OFF"};

// kExample with the media line and the ribbon line replaced (empty: no line).
std::vector<std::string> Variant(const std::string& media, const std::string& ribbon) {
  std::vector<std::string> lines = {"CLS"};
  if (!media.empty()) lines.push_back(media);
  if (!ribbon.empty()) lines.push_back(ribbon);
  lines.insert(lines.end(), kExample.begin() + 3, kExample.end());
  return lines;
}

std::vector<std::string> WithAfter(const std::vector<std::string>& after) {
  std::vector<std::string> lines(kExample.begin(), kExample.begin() + 8);
  lines.insert(lines.end(), after.begin(), after.end());
  return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Ppds, JobPreambleTest,
    ::testing::Values(
        JobCase{"Example", ExampleOptions(), "", kExample},
        JobCase{"Continuous", ExampleOptions(), "MediaType=V0", Variant("", "SET RIBBON OFF")},
        JobCase{"BlackLine", ExampleOptions(), "MediaType=V2 GAPHeight=V2p5 GAPOffset=V1",
                Variant("BLINE 2.5 mm,1 mm", "SET RIBBON OFF")},
        JobCase{"OtherMedia", ExampleOptions(), "MediaType=V7",
                Variant("GAP 0 mm,0 mm", "SET RIBBON OFF")},
        JobCase{"NoRibbonSetting", ExampleOptions(), "PrintMethod=V0",
                Variant("GAP 3 mm,0 mm", "")},
        JobCase{"Ribbon", ExampleOptions(), "PrintMethod=V2",
                Variant("GAP 3 mm,0 mm", "SET RIBBON ON")},
        // A print method without a command ends the preamble after the media line.
        JobCase{"UnknownPrintMethod", ExampleOptions(), "PrintMethod=V3", {"CLS", "GAP 3 mm,0 mm"}},
        JobCase{"PrinterKeepsDensityAndSpeed",
                ExampleOptions(),
                "Density=V1000 PrintSpeed=V1000",
                {"CLS", "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0", "REFERENCE 0,0",
                 "OFFSET 0 mm", "SET TEAR ON", "SET PEEL OFF", "SET CUTTER OFF"}},
        // A code of -1 reads as an absent option (speed 0); 65535 keeps its low 16 bits, -1,
        // which sends no SPEED line.
        JobCase{"SpeedCodeMinus1",
                ExampleOptions(),
                "PrintSpeed=Vm1",
                {"CLS", "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0", "REFERENCE 0,0",
                 "DENSITY 8", "SPEED 0", "OFFSET 0 mm", "SET TEAR ON", "SET PEEL OFF",
                 "SET CUTTER OFF"}},
        JobCase{"NoSpeed",
                ExampleOptions(),
                "PrintSpeed=V65535 Feed=V2",
                {"CLS", "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0", "REFERENCE 0,0",
                 "DENSITY 8", "OFFSET 2 mm", "SET TEAR ON", "SET PEEL OFF", "SET CUTTER OFF"}},
        JobCase{"AfterPrint0", ExampleOptions(), "Mode=V0", WithAfter({})},
        JobCase{"AfterPrint1", ExampleOptions(), "Mode=V1",
                WithAfter({"SET TEAR OFF", "SET PEEL OFF", "SET CUTTER OFF"})},
        JobCase{"AfterPrint2", ExampleOptions(), "Mode=V2",
                WithAfter({"SET TEAR OFF", "SET PEEL ON", "SET CUTTER OFF"})},
        JobCase{"AfterPrint4", ExampleOptions(), "Mode=V4",
                WithAfter({"SET TEAR OFF", "SET PEEL OFF"})},
        // A PPD with none of the options: continuous media, density 0, speed 0.
        JobCase{"NoOptions",
                {},
                "",
                {"CLS", "DIRECTION 1,0", "REFERENCE 0,0", "DENSITY 0", "SPEED 0", "OFFSET 0 mm"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A PPD without "OutputDPI" prints at the raster's resolution instead of at 0 dpi: a fixed
// label of 210 mm at 300 dpi is 2480.3 dots long (plus 0.5, truncated).
TEST(JobOutputDpiTest, MissingKeywordFallsBackToTheRasterResolution) {
  qevtest::TempDir dir;
  qevtest::PpdSpec spec;
  spec.outputDpi = "";
  spec.options = {NumericOption("FixedHeight", "2", {"2"})};
  ASSERT_TRUE(qevtest::WritePpdFile(dir.file("job.ppd"), spec));
  qevtest::RasterPage page;
  page.xdpi = page.ydpi = 300;

  qevtest::FilterRun run;
  run.args = qevtest::JobArgs();
  run.ppd = dir.file("job.ppd");
  run.stdinData = qevtest::RasterBytes({page});
  qevtest::RunResult result = qevtest::RunFilter(run);

  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_NE(result.out.find(" dot,2480 dot\r\n"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("DEBUG: The PPD has no OutputDPI keyword; printing at 300 dpi."),
            std::string::npos)
      << result.err;
}

// The job's trace in the filter's log file, from the configuration to the preamble's result:
// the option records in reader order (absent options leave none), the device mode, the page
// device of the 16 x 8 page, and one DEBUG line per preamble emitter.
TEST(JobTraceTest, ConfigurationRecordsInOrder) {
  qevtest::TempDir dir;
  qevtest::PpdSpec spec;
  spec.options = ExampleOptions();
  ASSERT_TRUE(qevtest::WritePpdFile(dir.file("job.ppd"), spec));
  qevtest::FilterRun run;
  run.args = qevtest::JobArgs();
  run.ppd = dir.file("job.ppd");
  run.stdinData = qevtest::RasterBytes({qevtest::RasterPage{}});
  qevtest::RunResult result = qevtest::RunFilter(run);
  ASSERT_EQ(result.exitStatus, 0);
  ASSERT_GT(result.pid, 0);

  // Records of this process only: the log file is shared by every job on the machine.
  char tag[32];
  snprintf(tag, sizeof tag, " [%04d] LOG_DEBUG ", result.pid);
  std::vector<std::string> messages;
  std::istringstream log(qevtest::ReadFile("/tmp/qztspl.log"));
  for (std::string line; std::getline(log, line);) {
    size_t at = line.find(tag);
    if (at == std::string::npos) continue;
    std::string text = line.substr(at + strlen(tag));
    size_t suffix = text.rfind(' ');  // the source position after the message
    if (suffix != std::string::npos) text.resize(suffix);
    messages.push_back(text);
  }
  if (messages.empty() && access("/tmp/qztspl.log", W_OK) != 0) {
    GTEST_SKIP() << "/tmp/qztspl.log is not writable here, so the filter could not trace";
  }
  auto begin = std::find(messages.begin(), messages.end(), "Begin to initialize configures");
  auto end = std::find(begin, messages.end(), "Result of StartDocCMD is 1");
  ASSERT_NE(end, messages.end()) << "no configuration trace for pid " << result.pid;
  std::vector<std::string> configuration(begin, end + 1);
  EXPECT_EQ(configuration, (std::vector<std::string>{"Begin to initialize configures",
                                                     "Init sRotation: 0, sRotate90: 0",
                                                     "Init sDensity: 8",
                                                     "Init sPaperType: 1",
                                                     "Init sLabelType: 1",
                                                     "Init GAPOffset: 0",
                                                     "Init GAPHeight: 30",
                                                     "Init dwOperationAfterPrn: 3",
                                                     "Init sFeedLen: 0",
                                                     "Init sOutputXDPI: 203, sOutputYDPI: 203",
                                                     "Init sPrintSpeed: 4",
                                                     "Init sAutoRotate90: 0",
                                                     "Init sFixedHeight: 0",
                                                     "Init sStartOffsetValue: 0",
                                                     "Init sEndOffsetValue: 0",
                                                     "Init dmPrintQuality: 203, dmYResolution: 203",
                                                     "Init dmOrientation: 1",
                                                     "Init dmCollate: 0",
                                                     "Init bmInfoHeader.biWidth: 16",
                                                     "Init bmInfoHeader.biHeight: 8",
                                                     "Init bmInfoHeader.biBitCount: 24",
                                                     "Init sCurCopies: 1",
                                                     "Init dwPagePrinted: 0",
                                                     "Init dwCurPageNum: 0",
                                                     "Init srcGdiInfo.szlPhysSize.cx: 16",
                                                     "Init srcGdiInfo.szlPhysSize.cy: 8",
                                                     "Init srcGdiInfo.ptlPhysOffset.x: 0",
                                                     "Init srcGdiInfo.ptlPhysOffset.y: 0",
                                                     "Init srcGdiInfo.ulVertRes: 8",
                                                     "Initializing configures finish",
                                                     "Method StartDocCMD in",
                                                     "Method OutPutCLSCommand in",
                                                     "Method OutputGapCmd in",
                                                     "Method OutputPaperTypeCmd in",
                                                     "Method OutPutDIRECTIONCommand in",
                                                     "Method OutPutREFERENCECommand in",
                                                     "Method OutPutDensityCommand in",
                                                     "Method OutPutSPeedCommand in",
                                                     "Method OutputFeedLenCmd in",
                                                     "Method OutputTearCmd in",
                                                     "Method OutputPeelCmd in",
                                                     "Method OutputCutterCmd in",
                                                     "Result of StartDocCMD is 1"}));
}

}  // namespace
