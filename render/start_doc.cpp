// The job preamble: media sensing, print method, direction, reference, darkness, speed, feed
// offset and the after-print switches, written once before the first page of a job.
#include "logging/vanta.h"
#include "render/tspl_render.h"

namespace {

// What the printer does after each label: tear switch, peel switch, and whether the cutter is
// switched off here (mode 4 sets the cutter page by page instead).
struct AfterPrintLines {
  uint64_t mode;
  int16_t tear;
  int16_t peel;
  bool cutterOff;
};

constexpr AfterPrintLines kAfterPrint[] = {
    {1, 0, 0, true},
    {2, 0, 1, true},
    {3, 1, 0, true},
    {4, 0, 0, false},
};

}  // namespace

bool CTSPLRenderClass::StartDocCMD() {
  VLOG_DEBUG("Method StartDocCMD in");
  // CLS fails without an option record, so the record is there past this point.
  if (!OutPutCLSCommand()) return false;
  const tagOEMCFG& cfg = *m_pOemCfg;

  bool mediaOk = true;
  if (cfg.sLabelType == 1) {
    mediaOk = OutputGapCmd(cfg.GAPHeight, cfg.GAPOffset);
  } else if (cfg.sLabelType == 2) {
    mediaOk = OutputBLineCmd(cfg.BLineHeight, cfg.BLineOffset);
  } else if (cfg.sLabelType != 0) {
    mediaOk = OutputGapCmd(0, 0);
  }
  if (!mediaOk) return false;

  // A print method without a ribbon command ends the preamble here.
  if (cfg.sPaperType != 0 && !OutputPaperTypeCmd(cfg.sPaperType)) return false;
  if (!OutPutDIRECTIONCommand(true, false)) return false;
  if (!OutPutREFERENCECommand(tagPOINT{0, 0})) return false;
  if (!OutPutDensityCommand(static_cast<int32_t>(cfg.sDensity))) return false;
  if (cfg.sPrintSpeed != -1 && !OutPutSpeedCommand(cfg.sPrintSpeed)) return false;
  if (!OutputFeedLenCmd(cfg.sFeedLen)) return false;

  // The after-print switches cannot fail the preamble.
  for (const AfterPrintLines& lines : kAfterPrint) {
    if (lines.mode != cfg.dwOperationAfterPrn) continue;
    OutputTearCmd(lines.tear);
    OutputPeelCmd(lines.peel);
    if (lines.cutterOff) OutputCutterCmd(0);
  }
  return true;
}
