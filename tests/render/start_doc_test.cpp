// The job preamble: the lines it writes for each media, print method, darkness, speed and
// after-print setting, and where a failing step ends it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "render/tspl_render.h"
#include "tests/support/stdout_capture.h"

namespace {

// "a|b" as the TSPL lines "a\r\nb\r\n".
std::string Lines(std::string text) {
  for (size_t at; (at = text.find('|')) != std::string::npos;) text.replace(at, 1, "\r\n");
  return text + "\r\n";
}

const std::string kHead = "CLS|GAP 3 mm,0 mm|SET RIBBON OFF|";
const std::string kMiddle = "DIRECTION 1,0|REFERENCE 0,0|DENSITY 8|SPEED 4|OFFSET 0 mm";
const std::string kTear = "|SET TEAR ON|SET PEEL OFF|SET CUTTER OFF";

struct PreambleCase {
  std::function<void(tagOEMCFG&)> change;  // applied to the eleven-line example's settings
  bool result;
  std::string lines;
};

TEST(StartDoc, LinesFollowTheSettings) {
  const PreambleCase cases[] = {
      {[](tagOEMCFG&) {}, true, kHead + kMiddle + kTear},
      {[](tagOEMCFG& c) { c.sLabelType = 0; }, true, "CLS|SET RIBBON OFF|" + kMiddle + kTear},
      {[](tagOEMCFG& c) { c.sLabelType = 2; }, true,
       "CLS|BLINE 2.5 mm,1 mm|SET RIBBON OFF|" + kMiddle + kTear},
      {[](tagOEMCFG& c) { c.sLabelType = 7; }, true,
       "CLS|GAP 0 mm,0 mm|SET RIBBON OFF|" + kMiddle + kTear},
      {[](tagOEMCFG& c) { c.sPaperType = 0; }, true, "CLS|GAP 3 mm,0 mm|" + kMiddle + kTear},
      {[](tagOEMCFG& c) { c.sPaperType = 2; }, true,
       "CLS|GAP 3 mm,0 mm|SET RIBBON ON|" + kMiddle + kTear},
      // A print method without a ribbon command ends the preamble.
      {[](tagOEMCFG& c) { c.sPaperType = 3; }, false, "CLS|GAP 3 mm,0 mm"},
      {[](tagOEMCFG& c) { c.sPaperType = -1; }, false, "CLS|GAP 3 mm,0 mm"},
      // 1000 leaves darkness and speed to the printer; speed -1 sends none; DENSITY takes the
      // low 32 bits of its 64-bit field.
      {[](tagOEMCFG& c) { c.sDensity = c.sPrintSpeed = 1000; }, true,
       kHead + "DIRECTION 1,0|REFERENCE 0,0|OFFSET 0 mm" + kTear},
      // Speed 0 is a speed like any other; only -1 and 1000 send none.
      {[](tagOEMCFG& c) { c.sPrintSpeed = 0; }, true,
       kHead + "DIRECTION 1,0|REFERENCE 0,0|DENSITY 8|SPEED 0|OFFSET 0 mm" + kTear},
      {[](tagOEMCFG& c) {
         c.sDensity = (int64_t{1} << 32) + 15;
         c.sPrintSpeed = -1;
         c.sFeedLen = -15;
       },
       true, kHead + "DIRECTION 1,0|REFERENCE 0,0|DENSITY 15|OFFSET -1.5 mm" + kTear},
      {[](tagOEMCFG& c) { c.dwOperationAfterPrn = 0; }, true, kHead + kMiddle},
      {[](tagOEMCFG& c) { c.dwOperationAfterPrn = 1; }, true,
       kHead + kMiddle + "|SET TEAR OFF|SET PEEL OFF|SET CUTTER OFF"},
      {[](tagOEMCFG& c) { c.dwOperationAfterPrn = 2; }, true,
       kHead + kMiddle + "|SET TEAR OFF|SET PEEL ON|SET CUTTER OFF"},
      {[](tagOEMCFG& c) { c.dwOperationAfterPrn = 4; }, true,
       kHead + kMiddle + "|SET TEAR OFF|SET PEEL OFF"},
      {[](tagOEMCFG& c) { c.dwOperationAfterPrn = UINT64_MAX; }, true, kHead + kMiddle},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    tagOEMCFG cfg{};
    cfg.sLabelType = 1;
    cfg.GAPHeight = 30;
    cfg.BLineHeight = 25;  // distinct from the gap, to show which pair each media line uses
    cfg.BLineOffset = 10;
    cfg.sPaperType = 1;
    cfg.sDensity = 8;
    cfg.sPrintSpeed = 4;
    cfg.dwOperationAfterPrn = 3;
    cfg.sOutputXDPI = cfg.sOutputYDPI = 203;
    cases[i].change(cfg);
    _DEVMODE dm{};
    _OEMPDEV pdev{};
    CTSPLRenderClass renderer;
    renderer.SetOemCfgPointer(&cfg);
    renderer.SetDevModePointer(&dm);
    renderer.SetOemPdevPointer(&pdev);
    quorvel::test::StdoutCapture capture;
    const bool ok = renderer.StartDocCMD();
    EXPECT_EQ(capture.Take(), Lines(cases[i].lines)) << "case " << i;
    EXPECT_EQ(ok, cases[i].result) << "case " << i;
  }
}

}  // namespace
