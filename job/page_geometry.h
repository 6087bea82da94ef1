// Geometry of the page waiting in the page buffer. The page is rendered only when the next
// header has arrived, so its geometry travels with the buffer and is put into the job
// records right before rendering: every page is rendered with the geometry of its own buffer.
#pragma once

#include <cstdint>

struct PageGeometry {
  int32_t width = 0;      // pixels
  int32_t height = 0;     // rows
  uint16_t bitCount = 0;  // bits per pixel of the page buffer
  int16_t xdpi = 0;       // raster resolution across
  int16_t ydpi = 0;       // raster resolution along
};

// Geometry of the buffered page; meaningful while gOemPDev.pBufStart is non-null.
extern PageGeometry gBufferedGeometry;

// Makes bmInfoHeader, srcGdiInfo, dmPrintQuality and dmYResolution describe `geometry`.
// Nothing is written or traced when they already do, so a job whose pages share one
// geometry keeps the records (and the trace) exactly as the first page set them.
void SyncPageGeometry(const PageGeometry& geometry, int page);
