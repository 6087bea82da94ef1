// The page trace and the page hand-off: each buffered page is given to the renderer with
// its own geometry, then its buffer is kept for the next page whatever the outcome. The labels
// a page printed are reported to CUPS ("PAGE: page copies") for its page log and quotas.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "filter/rastoqevtspl.h"
#include "job/page_geometry.h"
#include "job/raw_enum.h"
#include "job/records.h"
#include "logging/vanta.h"
#include "render/tspl_render.h"

// Header fields are unsigned; the trace shows them as signed decimals.
void StartPage(ppd_file_t*, cups_page_header2_t* h, int page) {
  if (!h) return;
  VLOG_DEBUG("******************************Start Page %d ******************************", page);
  VLOG_DEBUG("Duplex = %d", RawEnum(h->Duplex));
  VLOG_DEBUG("HWResolution = [ %d %d ]", int(h->HWResolution[0]), int(h->HWResolution[1]));
  VLOG_DEBUG("ImagingBoundingBox = [ %d %d %d %d ]", int(h->ImagingBoundingBox[0]),
             int(h->ImagingBoundingBox[1]), int(h->ImagingBoundingBox[2]),
             int(h->ImagingBoundingBox[3]));
  VLOG_DEBUG("Margins = [ %d %d ]", int(h->Margins[0]), int(h->Margins[1]));
  VLOG_DEBUG("ManualFeed = %d", RawEnum(h->ManualFeed));
  VLOG_DEBUG("MediaPosition = %d", int(h->MediaPosition));
  VLOG_DEBUG("NumCopies = %d", int(h->NumCopies));
  VLOG_DEBUG("Orientation = %d", RawEnum(h->Orientation));
  VLOG_DEBUG("PageSize = [ %d %d ]", int(h->PageSize[0]), int(h->PageSize[1]));
  VLOG_DEBUG("cupsWidth = %d", int(h->cupsWidth));
  VLOG_DEBUG("cupsHeight = %d", int(h->cupsHeight));
  VLOG_DEBUG("cupsMediaType = %d", int(h->cupsMediaType));
  VLOG_DEBUG("cupsBitsPerColor = %d", int(h->cupsBitsPerColor));
  VLOG_DEBUG("cupsBitsPerPixel = %d", int(h->cupsBitsPerPixel));
  VLOG_DEBUG("cupsBytesPerLine = %d", int(h->cupsBytesPerLine));
  VLOG_DEBUG("cupsColorOrder = %d", RawEnum(h->cupsColorOrder));
  VLOG_DEBUG("cupsColorSpace = %d", RawEnum(h->cupsColorSpace));
  VLOG_DEBUG("cupsCompression = %d", int(h->cupsCompression));
}

void TransPrintData(int page, CTSPLRenderClass* renderer, bool last) {
  gOemPDev.dwCurPageNum = uint32_t(page);
  VLOG_DEBUG("curPage is %u, bufStart is 0x%x", gOemPDev.dwCurPageNum,
             unsigned(uintptr_t(gOemPDev.pBufStart)));
  if (gOemPDev.dwCurPageNum != 0) {
    if (!gOemPDev.pBufStart) return;
    VLOG_DEBUG("pbufstart != null && dwcurpagenum > 0");
    SyncPageGeometry(gBufferedGeometry, page);
    if (renderer) {
      const uint64_t before = renderer->LabelsPrinted();
      renderer->TransCommand(last);
      const uint64_t labels = renderer->LabelsPrinted() - before;
      if (labels > 0) fprintf(stderr, "PAGE: %d %llu\n", page, (unsigned long long)labels);
    }
  }
  KeepPageBuffer(gOemPDev.pBufStart, gOemPDev.dwBufSize);
  gOemPDev.pBufStart = nullptr;
}
