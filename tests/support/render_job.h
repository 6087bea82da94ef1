// Helper of the renderer tests: a renderer wired to its three job records.
#pragma once

#include "job/records.h"
#include "render/tspl_render.h"
#include "tests/support/stdout_capture.h"

namespace quorvel::test {

// A 203 dpi job with tear-off, one copy of page 1, a 104 mm maximum width. The renderer points
// at these very records, so a job is never copied.
struct RenderJob {
  tagOEMCFG cfg{};
  _DEVMODE dev{};
  _OEMPDEV pdev{};
  CTSPLRenderClass renderer;
  RenderJob(const RenderJob&) = delete;
  RenderJob& operator=(const RenderJob&) = delete;
  RenderJob() {
    renderer.SetOemCfgPointer(&cfg);
    renderer.SetDevModePointer(&dev);
    renderer.SetOemPdevPointer(&pdev);
    cfg.sOutputXDPI = cfg.sOutputYDPI = 203;
    cfg.dwOperationAfterPrn = 3;
    cfg.sHalftoneMethod = 1;  // what the settings give a job without the option
    cfg.sMaxOutputWidth = 104;
    dev.dmOrientation = 1;
    dev.dmPrintQuality = dev.dmYResolution = 203;
    pdev.sCurCopies = 1;
    pdev.dwCurPageNum = 1;
  }
};

}  // namespace quorvel::test
