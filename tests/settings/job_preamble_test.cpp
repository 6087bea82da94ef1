// The job configuration through the built filter: the preamble that PPD choices call for,
// byte for byte before the page's own output, the OutputDPI fallback, and the configuration's
// trace records in the filter's log file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace {

using qevtest::NumericOption;

// The options of the eleven-line example.
std::vector<qevtest::PpdOption> ExampleOptions() {
  std::vector<qevtest::PpdOption> options;
  for (const auto& [keyword, code] :
       std::vector<std::pair<const char*, const char*>>{{"MediaType", "1"},
                                                        {"GAPHeight", "3"},
                                                        {"GAPOffset", "0"},
                                                        {"PrintMethod", "1"},
                                                        {"Density", "8"},
                                                        {"PrintSpeed", "4"},
                                                        {"Feed", "0"},
                                                        {"Mode", "3"}}) {
    options.push_back(NumericOption(keyword, code, {code}));
  }
  return options;
}

// Runs a one-page job (16 × 8 white pixels at `dpi`) with the PPD of `spec`.
qevtest::RunResult RunJob(const qevtest::PpdSpec& spec, uint32_t dpi = 203) {
  qevtest::TempDir dir;
  EXPECT_TRUE(qevtest::WritePpdFile(dir.file("job.ppd"), spec));
  qevtest::RasterPage page;
  page.xdpi = page.ydpi = dpi;
  qevtest::FilterRun run;
  run.args = qevtest::JobArgs();
  run.ppd = dir.file("job.ppd");
  run.stdinData = qevtest::RasterBytes({page});
  qevtest::RunResult result = qevtest::RunFilter(run);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  return result;
}

TEST(JobPreamble, PreambleThenThePage) {
  // The eleven-line example, then a PPD with none of the options (continuous media, density
  // 0, speed 0); the page follows at once, starting with its own CLS and SIZE.
  const std::string example =
      "CLS\r\nGAP 3 mm,0 mm\r\nSET RIBBON OFF\r\nDIRECTION 1,0\r\nREFERENCE 0,0\r\n"
      "DENSITY 8\r\nSPEED 4\r\nOFFSET 0 mm\r\nSET TEAR ON\r\nSET PEEL OFF\r\nSET CUTTER OFF\r\n";
  qevtest::PpdSpec spec;
  spec.options = ExampleOptions();
  EXPECT_EQ(RunJob(spec).out.substr(0, example.size() + 10), example + "CLS\r\nSIZE ");
  const std::string bare =
      "CLS\r\nDIRECTION 1,0\r\nREFERENCE 0,0\r\nDENSITY 0\r\nSPEED 0\r\nOFFSET 0 mm\r\n";
  EXPECT_EQ(RunJob(qevtest::PpdSpec{}).out.substr(0, bare.size() + 10), bare + "CLS\r\nSIZE ");
}

TEST(JobPreamble, MissingOutputDpiFallsBackToTheRasterResolution) {
  // A fixed label of 210 mm at 300 dpi is 2480.3 dots long (plus 0.5, truncated) where 0 dpi
  // would give 0.
  qevtest::PpdSpec spec;
  spec.outputDpi = "";
  spec.options = {NumericOption("FixedHeight", "2", {"2"})};
  const qevtest::RunResult result = RunJob(spec, 300);
  EXPECT_NE(result.out.find(" dot,2480 dot\r\n"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("DEBUG: The PPD has no OutputDPI keyword; printing at 300 dpi."),
            std::string::npos)
      << result.err;
}

// The job's trace from the configuration to the preamble's result: the option records in
// reader order (absent options leave none), the device mode, the page device of the 16 × 8
// page, and one record per preamble emitter.
TEST(JobTrace, ConfigurationRecordsInOrder) {
  qevtest::TraceLog log;
  qevtest::PpdSpec spec;
  spec.options = ExampleOptions();
  const qevtest::RunResult result = RunJob(spec);
  ASSERT_GT(result.pid, 0);
  const std::vector<std::string> messages = log.Messages(result.pid);
  if (messages.empty() && access(qevtest::kTracePath, W_OK) != 0) {
    GTEST_SKIP() << qevtest::kTracePath << " is not writable here, so the filter could not trace";
  }
  auto begin = std::find(messages.begin(), messages.end(), "Begin to initialize configures");
  auto end = std::find(begin, messages.end(), "Result of StartDocCMD is 1");
  ASSERT_NE(end, messages.end()) << "no configuration trace for pid " << result.pid;
  std::string records;
  for (auto it = begin; it <= end; ++it) records += *it + "|";
  EXPECT_EQ(records,
            "Begin to initialize configures|Init sRotation: 0, sRotate90: 0|Init sDensity: 8|"
            "Init sPaperType: 1|Init sLabelType: 1|Init GAPOffset: 0|Init GAPHeight: 30|"
            "Init dwOperationAfterPrn: 3|Init sFeedLen: 0|Init sOutputXDPI: 203, sOutputYDPI: 203|"
            "Init sPrintSpeed: 4|Init sAutoRotate90: 0|Init sFixedHeight: 0|"
            "Init sStartOffsetValue: 0|Init sEndOffsetValue: 0|"
            "Init dmPrintQuality: 203, dmYResolution: 203|Init dmOrientation: 1|Init dmCollate: 0|"
            "Init bmInfoHeader.biWidth: 16|Init bmInfoHeader.biHeight: 8|"
            "Init bmInfoHeader.biBitCount: 24|Init sCurCopies: 1|Init dwPagePrinted: 0|"
            "Init dwCurPageNum: 0|Init srcGdiInfo.szlPhysSize.cx: 16|"
            "Init srcGdiInfo.szlPhysSize.cy: 8|Init srcGdiInfo.ptlPhysOffset.x: 0|"
            "Init srcGdiInfo.ptlPhysOffset.y: 0|Init srcGdiInfo.ulVertRes: 8|"
            "Initializing configures finish|Method StartDocCMD in|Method OutPutCLSCommand in|"
            "Method OutputGapCmd in|Method OutputPaperTypeCmd in|Method OutPutDIRECTIONCommand in|"
            "Method OutPutREFERENCECommand in|Method OutPutDensityCommand in|"
            "Method OutPutSPeedCommand in|Method OutputFeedLenCmd in|Method OutputTearCmd in|"
            "Method OutputPeelCmd in|Method OutputCutterCmd in|Result of StartDocCMD is 1|");
}

}  // namespace
