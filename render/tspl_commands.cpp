// The TSPL command emitters of CTSPLRenderClass: one operation per printer command, each
// formatting exactly one command line into a local buffer and writing it to standard output.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/dots.h"
#include "logging/vanta.h"
#include "render/tspl_render.h"

namespace {

constexpr size_t kCommandBufferSize = 256;

// Holds a 64-bit count inside the int range of the command text.
int SaturateToInt(int64_t value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Appends a length in tenths of a millimetre: whole millimetres with %d, otherwise with one
// decimal. The %d value is printed as the int that the format expects (its low 32 bits).
void AppendTenths(char* buf, size_t size, int64_t tenths) {
  size_t used = strlen(buf);
  if (tenths % 10 == 0) {
    snprintf(buf + used, size - used, "%d", static_cast<int>(tenths / 10));
  } else {
    snprintf(buf + used, size - used, "%0.1f", static_cast<double>(tenths) / 10.0);
  }
}

// "<name> <first> mm,<second> mm\r\n" for GAP and BLINE.
void FormatTwoTenths(char* buf, size_t size, const char* name, int64_t first, int64_t second) {
  snprintf(buf, size, "%s ", name);
  AppendTenths(buf, size, first);
  strncat(buf, " mm,", size - strlen(buf) - 1);
  AppendTenths(buf, size, second);
  strncat(buf, " mm\r\n", size - strlen(buf) - 1);
}

struct SwitchText {
  int16_t value;
  const char* text;
};

constexpr SwitchText kPaperTypeTexts[] = {{1, "SET RIBBON OFF\r\n"}, {2, "SET RIBBON ON\r\n"}};
constexpr SwitchText kPeelTexts[] = {{0, "SET PEEL OFF\r\n"}, {1, "SET PEEL ON\r\n"}};
constexpr SwitchText kTearTexts[] = {{0, "SET TEAR OFF\r\n"}, {1, "SET TEAR ON\r\n"}};

// The text for a value, or "" when the printer has no command for it.
template <size_t N>
const char* LookUp(const SwitchText (&table)[N], int16_t value) {
  const SwitchText* end = table + N;
  const SwitchText* found =
      std::find_if(table, end, [value](const SwitchText& entry) { return entry.value == value; });
  return found == end ? "" : found->text;
}

// Label lengths of the fixed-height modes 1, 2 and 3, in millimetres.
constexpr int kFixedLabelLengthMm[] = {297, 210, 148};

// Tells CUPS (and so the user) about a label the printer cannot print whole; the label is
// sent all the same. Widths are compared in whole bytes, as every label is sized: a page
// fitted to the widest printed image is rounded up to a byte and carries no dot beyond it.
void WarnUnprintableLabel(const tagOEMCFG& cfg, uint32_t page, int64_t width, int64_t height) {
  if (cfg.sMaxOutputWidth > 0) {
    const int64_t widest = (int64_t{DotsFromMm(cfg.sMaxOutputWidth, cfg.sOutputXDPI)} + 7) / 8 * 8;
    if (width > widest) {
      fprintf(stderr,
              "WARNING: Page %u: the label is %lld dots wide, wider than the widest printed "
              "image (%lld dots); the printer drops what lies beyond\n",
              page, static_cast<long long>(width), static_cast<long long>(widest));
    }
  }
  if (cfg.nMaxLabelLength > 0 && height > cfg.nMaxLabelLength) {
    fprintf(stderr,
            "WARNING: Page %u: the label is %lld dots long, longer than the longest label the "
            "printer takes (%d dots); it may be refused or cut short\n",
            page, static_cast<long long>(height), cfg.nMaxLabelLength);
  }
}

}  // namespace

bool CTSPLRenderClass::OutputCRCMD() {
  VLOG_DEBUG("Method OutputCRCMD in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "\r\n");
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutCLSCommand() {
  VLOG_DEBUG("Method OutPutCLSCommand in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "CLS\r\n");
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutSizeCommand(int32_t width, int32_t height) {
  // Reads the option record, so it needs it before formatting.
  if (m_pOemCfg == nullptr) return false;
  const tagOEMCFG& cfg = *m_pOemCfg;
  int64_t writtenHeight;
  if (cfg.sFixedHeight >= 1 && cfg.sFixedHeight <= 3) {
    int length = kFixedLabelLengthMm[cfg.sFixedHeight - 1];
    writtenHeight =
        DotsFromMm(length + cfg.sStartOffsetValue + cfg.sEndOffsetValue, cfg.sOutputYDPI);
  } else {
    writtenHeight = static_cast<int64_t>(height) +
                    DotsFromMm(cfg.sStartOffsetValue + cfg.sEndOffsetValue, cfg.sOutputYDPI);
  }
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "SIZE %d dot,%d dot\r\n", width, SaturateToInt(writtenHeight));
  WarnUnprintableLabel(cfg, m_pOemPDev ? m_pOemPDev->dwCurPageNum : 0, width,
                       SaturateToInt(writtenHeight));
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutSizeCommand() {
  VLOG_DEBUG("Method OutPutSizeCommand in");
  if (m_pOemCfg == nullptr || m_pDevMode == nullptr || m_pOemPDev == nullptr) return false;
  const tagOEMCFG& cfg = *m_pOemCfg;
  const _DEVMODE& dm = *m_pDevMode;
  VLOG_DEBUG("dmYResolution  is %d", dm.dmYResolution);
  VLOG_DEBUG("dmPrintQuality  is %d", dm.dmPrintQuality);
  // A zero raster resolution would divide by zero; there is no size to send then.
  if (dm.dmPrintQuality == 0 || dm.dmYResolution == 0) return false;

  const tagSIZEL& phys = m_pOemPDev->srcGdiInfo.szlPhysSize;
  bool unrotated = (dm.dmOrientation == 1 && cfg.sRotate90 == 0) ||
                   (dm.dmOrientation == 2 && cfg.sRotate90 == 1);
  // 64-bit intermediates: the products of 16- and 32-bit fields may exceed 32 bits.
  int64_t w = 0;
  int64_t h = 0;
  if (unrotated) {
    w = int64_t{cfg.sOutputXDPI} * phys.cx / dm.dmPrintQuality;
    h = int64_t{cfg.sOutputYDPI} * phys.cy / dm.dmYResolution + 1;
  } else {
    w = int64_t{cfg.sOutputXDPI} * phys.cy / dm.dmYResolution;
    h = int64_t{cfg.sOutputYDPI} * phys.cx / dm.dmPrintQuality + 1;
  }
  int width = SaturateToInt(w);
  int height = SaturateToInt(h);
  width = static_cast<int>((int64_t{width} + 7) / 8 * 8);
  int maxWidth = DotsFromMm(cfg.sMaxOutputWidth, cfg.sOutputXDPI);
  if (static_cast<uint32_t>(width) > static_cast<uint32_t>(maxWidth)) {
    width = static_cast<int>((int64_t{maxWidth} + 7) / 8 * 8);
  }

  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "SIZE %d dot,%d dot\r\n", width, height);
  VLOG_DEBUG("OutPutSizeCommand cmd is %s", buf);
  m_pOemPDev->dwLabelWidth = static_cast<uint32_t>(width);
  m_pOemPDev->dwLabelHeight = static_cast<uint32_t>(height);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutputGapCmd(int16_t height, int16_t offset) {
  VLOG_DEBUG("Method OutputGapCmd in");
  char buf[kCommandBufferSize] = {};
  FormatTwoTenths(buf, sizeof buf, "GAP", height, offset);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutputBLineCmd(int16_t height, int16_t offset) {
  VLOG_DEBUG("Method OutputBLineCmd in");
  char buf[kCommandBufferSize] = {};
  FormatTwoTenths(buf, sizeof buf, "BLINE", height, offset);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutputPaperTypeCmd(int16_t method) {
  VLOG_DEBUG("Method OutputPaperTypeCmd in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "%s", LookUp(kPaperTypeTexts, method));
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutputPeelCmd(int16_t on) {
  VLOG_DEBUG("Method OutputPeelCmd in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "%s", LookUp(kPeelTexts, on));
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutputTearCmd(int16_t on) {
  VLOG_DEBUG("Method OutputTearCmd in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "%s", LookUp(kTearTexts, on));
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutputCutterCmd(int64_t count) {
  VLOG_DEBUG("Method OutputCutterCmd in");
  char buf[kCommandBufferSize] = {};
  if (count == 0) {
    snprintf(buf, sizeof buf, "SET CUTTER OFF\r\n");
  } else {
    snprintf(buf, sizeof buf, "SET CUTTER %d\r\n", static_cast<int>(count));
  }
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutputFeedLenCmd(int64_t offset) {
  VLOG_DEBUG("Method OutputFeedLenCmd in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "OFFSET ");
  AppendTenths(buf, sizeof buf, offset);
  strncat(buf, " mm\r\n", sizeof buf - strlen(buf) - 1);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutREFERENCECommand(tagPOINT point) {
  VLOG_DEBUG("Method OutPutREFERENCECommand in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "REFERENCE %d,%d\r\n", point.x, point.y);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutDIRECTIONCommand(bool first, bool second) {
  VLOG_DEBUG("Method OutPutDIRECTIONCommand in");
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "DIRECTION %d,%d\r\n", first ? 1 : 0, second ? 1 : 0);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutDensityCommand(int32_t density) {
  VLOG_DEBUG("Method OutPutDensityCommand in");
  if (m_pOemCfg == nullptr) return false;
  // 1000 keeps the printer's own setting.
  if (density == 1000) return true;
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "DENSITY %d\r\n", density);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutSpeedCommand(int32_t speed) {
  VLOG_DEBUG("Method OutPutSPeedCommand in");
  if (m_pOemCfg == nullptr) return false;
  // 1000 keeps the printer's own setting.
  if (speed == 1000) return true;
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "SPEED %d\r\n", speed);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutBITMAPCommand(const tagRECT& rect) {
  VLOG_DEBUG("Method OutPutBITMAPCommand in");
  if (m_pOemCfg == nullptr) return false;
  const tagOEMCFG& cfg = *m_pOemCfg;
  // Offsets in dots; the end offset (whole millimetres) also moves the image down.
  int64_t h = DotsFromMm(static_cast<double>(cfg.sHrzOffset) / 10.0, cfg.sOutputXDPI);
  int64_t v =
      DotsFromMm(static_cast<double>(cfg.sVtcOffset) / 10.0 + cfg.sEndOffsetValue, cfg.sOutputYDPI);
  // 64-bit arithmetic so that extreme offsets cannot overflow; printed values saturate.
  int64_t alignedLeft = rect.left / 8 * 8;
  int64_t base = rect.left < 1 ? 0 : alignedLeft;
  int64_t adjust = cfg.sVtcDir == 1 ? -v : (cfg.sHrzDir == 1 ? -h : h);
  int64_t x = base + adjust;
  if (x < 0) x = 0;
  int64_t y = (rect.top > 0 ? rect.top : 0) + v;
  if (y < 0) y = 0;
  int64_t widthBytes = (int64_t{rect.right} - alignedLeft + 8) / 8;
  int64_t rows = int64_t{rect.bottom} - rect.top + 1;

  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "BITMAP %d,%d,%d,%d,%d,", SaturateToInt(x), SaturateToInt(y),
           SaturateToInt(widthBytes), SaturateToInt(rows), 0);
  return WriteCommand(buf);
}

bool CTSPLRenderClass::OutPutCopiesCommand(int64_t copies) {
  VLOG_DEBUG("Method OutPutCopiesCommand in");
  if (m_pOemCfg == nullptr || m_pDevMode == nullptr) return false;
  // Collated copies too: CUPS collates by repeating the pages with one copy each, so a
  // header that still asks for K collated copies has no one else to print them. Printing
  // them page by page keeps every label, only the order is by page.
  char buf[kCommandBufferSize] = {};
  snprintf(buf, sizeof buf, "PRINT %d,%d\r\n", 1, static_cast<int>(copies));
  if (!WriteCommand(buf)) return false;
  if (static_cast<int>(copies) > 0)
    m_labelsPrinted += static_cast<uint64_t>(static_cast<int>(copies));
  return true;
}

bool CTSPLRenderClass::OutPutOperationMode() {
  VLOG_DEBUG("Method OutPutOperationMode in");
  if (m_pOemCfg == nullptr) return false;
  char buf[kCommandBufferSize] = {};
  if (m_pOemCfg->dwOperationAfterPrn == 4) {
    if (m_pOemCfg->dwOperationModeAfterPrn == 1) {
      snprintf(buf, sizeof buf, "SET CUTTER 1\r\n");
    } else if (m_pOemCfg->dwOperationModeAfterPrn == 2) {
      snprintf(buf, sizeof buf, "SET CUTTER OFF\r\n");
    }
  } else {
    snprintf(buf, sizeof buf, "SET CUTTER OFF\r\n");
  }
  return WriteCommand(buf);
}

bool CTSPLRenderClass::SendCommand(const uint8_t* data, uint32_t length, uint8_t, const wchar_t*) {
  if (m_pOemCfg == nullptr || data == nullptr) return false;
  return fwrite(data, 1, length, stdout) != 0;
}
