// The job preamble: the lines it writes for each media, print method, darkness, speed and
// after-print setting, and where a failing step ends it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "render/tspl_render.h"
#include "tests/settings/capture_util.h"

namespace {

using qevtest::capture::StdoutCapture;
using qevtest::capture::TraceCapture;

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class StartDocTest : public ::testing::Test {
 protected:
  StartDocTest() {
    // The worked example of an eleven-line preamble.
    memset(&cfg_, 0, sizeof cfg_);
    cfg_.sLabelType = 1;
    cfg_.GAPHeight = cfg_.BLineHeight = 30;
    cfg_.GAPOffset = cfg_.BLineOffset = 0;
    cfg_.sPaperType = 1;
    cfg_.sDensity = 8;
    cfg_.sPrintSpeed = 4;
    cfg_.sFeedLen = 0;
    cfg_.dwOperationAfterPrn = 3;
    cfg_.sOutputXDPI = cfg_.sOutputYDPI = 203;
    memset(&dm_, 0, sizeof dm_);
    memset(&pdev_, 0, sizeof pdev_);
    renderer_.SetOemCfgPointer(&cfg_);
    renderer_.SetDevModePointer(&dm_);
    renderer_.SetOemPdevPointer(&pdev_);
  }

  std::string Run(bool expected_result = true) {
    StdoutCapture capture;
    bool result = renderer_.StartDocCMD();
    std::string out = capture.Take();
    EXPECT_EQ(result, expected_result);
    return out;
  }

  tagOEMCFG cfg_;
  _DEVMODE dm_;
  _OEMPDEV pdev_;
  CTSPLRenderClass renderer_;
};

TEST_F(StartDocTest, ElevenLineExample) {
  EXPECT_EQ(Run(), Lines({"CLS", "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0",
                          "REFERENCE 0,0", "DENSITY 8", "SPEED 4", "OFFSET 0 mm", "SET TEAR ON",
                          "SET PEEL OFF", "SET CUTTER OFF"}));
}

// Everything between the media line and the after-print lines, for the example settings.
const std::vector<std::string> kMiddle = {"DIRECTION 1,0", "REFERENCE 0,0", "DENSITY 8", "SPEED 4",
                                          "OFFSET 0 mm"};

std::vector<std::string> Preamble(const std::vector<std::string>& media,
                                  const std::vector<std::string>& ribbon,
                                  const std::vector<std::string>& middle,
                                  const std::vector<std::string>& after) {
  std::vector<std::string> all = {"CLS"};
  for (const auto* part : {&media, &ribbon, &middle, &after})
    all.insert(all.end(), part->begin(), part->end());
  return all;
}

TEST_F(StartDocTest, PrintMethodWithoutRibbonCommandEndsThePreamble) {
  cfg_.sPaperType = 0;
  EXPECT_EQ(Run(), Lines(Preamble({"GAP 3 mm,0 mm"}, {}, kMiddle,
                                  {"SET TEAR ON", "SET PEEL OFF", "SET CUTTER OFF"})));
  cfg_.sPaperType = 2;
  EXPECT_EQ(Run(), Lines(Preamble({"GAP 3 mm,0 mm"}, {"SET RIBBON ON"}, kMiddle,
                                  {"SET TEAR ON", "SET PEEL OFF", "SET CUTTER OFF"})));
  for (int16_t method : {3, -1}) {
    cfg_.sPaperType = method;
    EXPECT_EQ(Run(false), Lines({"CLS", "GAP 3 mm,0 mm"})) << "sPaperType " << method;
  }
}

TEST_F(StartDocTest, DensityAndSpeedCanBeLeftToThePrinter) {
  cfg_.dwOperationAfterPrn = 0;
  cfg_.sDensity = 1000;
  cfg_.sPrintSpeed = 1000;
  EXPECT_EQ(Run(), Lines({"CLS", "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0",
                          "REFERENCE 0,0", "OFFSET 0 mm"}));
  cfg_.sPrintSpeed = -1;
  cfg_.sDensity = 15;
  cfg_.sFeedLen = -15;
  EXPECT_EQ(Run(), Lines({"CLS", "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0",
                          "REFERENCE 0,0", "DENSITY 15", "OFFSET -1.5 mm"}));
  // DENSITY takes the low 32 bits of the 64-bit field: 2^32 + 1000 is 1000.
  cfg_.sDensity = (int64_t{1} << 32) + 1000;
  cfg_.sPrintSpeed = 3;
  EXPECT_EQ(Run(), Lines({"CLS", "GAP 3 mm,0 mm", "SET RIBBON OFF", "DIRECTION 1,0",
                          "REFERENCE 0,0", "SPEED 3", "OFFSET -1.5 mm"}));
}

TEST_F(StartDocTest, AfterPrintTable) {
  const std::pair<uint64_t, std::vector<std::string>> cases[] = {
      {0, {}},
      {1, {"SET TEAR OFF", "SET PEEL OFF", "SET CUTTER OFF"}},
      {2, {"SET TEAR OFF", "SET PEEL ON", "SET CUTTER OFF"}},
      {3, {"SET TEAR ON", "SET PEEL OFF", "SET CUTTER OFF"}},
      {4, {"SET TEAR OFF", "SET PEEL OFF"}},
      {5, {}},
      {UINT64_MAX, {}}};
  for (const auto& c : cases) {
    cfg_.dwOperationAfterPrn = c.first;
    EXPECT_EQ(Run(), Lines(Preamble({"GAP 3 mm,0 mm"}, {"SET RIBBON OFF"}, kMiddle, c.second)))
        << "dwOperationAfterPrn " << c.first;
  }
}

TEST_F(StartDocTest, TraceStartsWithItsOwnRecord) {
  TraceCapture trace;
  ASSERT_TRUE(trace.started()) << "the log manager did not start";
  cfg_.sPaperType = 3;
  Run(false);
  EXPECT_EQ(trace.Messages(),
            (std::vector<std::string>{"Method StartDocCMD in", "Method OutPutCLSCommand in",
                                      "Method OutputGapCmd in", "Method OutputPaperTypeCmd in"}));
}

}  // namespace
