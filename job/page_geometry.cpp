// Re-derivation of the page geometry fields of the job records for a page whose size,
// depth or resolution differs from the one they describe.
#include "job/page_geometry.h"

#include "job/records.h"
#include "logging/vanta.h"

PageGeometry gBufferedGeometry;

namespace {

bool RecordsDescribe(const PageGeometry& g) {
  const tagBITMAPINFOHEADER& bmi = gOemPDev.bmInfoHeader;
  const tagGDIINFO& gdi = gOemPDev.srcGdiInfo;
  return bmi.biWidth == g.width && bmi.biHeight == g.height && bmi.biBitCount == g.bitCount &&
         gdi.ulVertRes == uint32_t(g.height) && gdi.ptlPhysOffset.x == 0 &&
         gdi.ptlPhysOffset.y == 0 && gdi.szlPhysSize.cx == g.width &&
         gdi.szlPhysSize.cy == g.height && gDevMode.dmPrintQuality == g.xdpi &&
         gDevMode.dmYResolution == g.ydpi;
}

}  // namespace

void SyncPageGeometry(const PageGeometry& g, int page) {
  if (RecordsDescribe(g)) return;
  gOemPDev.bmInfoHeader.biWidth = g.width;
  gOemPDev.bmInfoHeader.biHeight = g.height;
  gOemPDev.bmInfoHeader.biBitCount = g.bitCount;
  gOemPDev.srcGdiInfo.ulVertRes = uint32_t(g.height);
  gOemPDev.srcGdiInfo.ptlPhysOffset.x = 0;
  gOemPDev.srcGdiInfo.ptlPhysOffset.y = 0;
  gOemPDev.srcGdiInfo.szlPhysSize.cx = g.width;
  gOemPDev.srcGdiInfo.szlPhysSize.cy = g.height;
  gDevMode.dmPrintQuality = g.xdpi;
  gDevMode.dmYResolution = g.ydpi;
  VLOG_DEBUG(
      "Page %d geometry: biWidth %d, biHeight %d, biBitCount %d, dmPrintQuality %d, "
      "dmYResolution %d",
      page, g.width, g.height, int(g.bitCount), int(g.xdpi), int(g.ydpi));
}
