// The page read: validates the header, allocates the page buffer and converts each raster
// row into it (24-bit R, G, B stored B, G, R; gray and 1-bit pages stored as 8-bit gray).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "filter/page_format.h"
#include "filter/rastoqevtspl.h"
#include "job/page_error.h"
#include "job/page_geometry.h"
#include "job/records.h"
#include "logging/vanta.h"

namespace {

// Pixel data of a rejected page is dropped in pieces of at most this size.
constexpr uint32_t kDiscardChunk = 1u << 20;

struct FreeDeleter {
  void operator()(void* p) const { free(p); }
};

inline uint8_t Bit(const uint8_t* src, uint32_t x) { return (src[x >> 3] >> (7 - (x & 7))) & 1; }

// Converts one raster row (`src`, cupsBytesPerLine bytes) into a page-buffer row.
void ConvertRow(PixelFormat format, const uint8_t* src, uint8_t* dst, uint32_t width) {
  switch (format) {
    case PixelFormat::kRgb24:
      for (uint32_t x = 0; x < width; ++x) {
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
      }
      break;
    case PixelFormat::kGray8:
      memcpy(dst, src, width);
      break;
    case PixelFormat::kGray8Inverted:
      for (uint32_t x = 0; x < width; ++x) dst[x] = uint8_t(255 - src[x]);
      break;
    case PixelFormat::kBit1White:
      for (uint32_t x = 0; x < width; ++x) dst[x] = Bit(src, x) ? 255 : 0;
      break;
    case PixelFormat::kBit1Black:
      for (uint32_t x = 0; x < width; ++x) dst[x] = Bit(src, x) ? 0 : 255;
      break;
  }
}

void ReportSkipped(int page, const std::string& reason) {
  ReportPageError(unsigned(page), "skipped", reason.c_str());
  VLOG_DEBUG("Page %d skipped: %s", page, reason.c_str());
}

// Reads and drops a rejected page's pixel data, so that the next header is read where it
// starts. Stops at the end of the stream or on cancel.
void DiscardPageData(const cups_page_header2_t& header, cups_raster_t* raster) {
  const uint32_t bpl = header.cupsBytesPerLine;
  if (bpl == 0) return;
  std::vector<uint8_t> sink(std::min(bpl, kDiscardChunk));
  for (uint32_t row = 0; row < header.cupsHeight && !Canceled; ++row) {
    for (uint32_t done = 0; done < bpl;) {
      const uint32_t n = std::min(bpl - done, kDiscardChunk);
      if (cupsRasterReadPixels(raster, sink.data(), n) != n) return;
      done += n;
    }
  }
}

}  // namespace

void GetPrintData(cups_page_header2_t* header, cups_raster_t* raster, int page) {
  if (!raster || !header) return;
  free(gOemPDev.pBufStart);  // normally already released by the hand-off
  gOemPDev.pBufStart = nullptr;
  gOemPDev.dwBufSize = 0;

  PageLayout layout;
  std::string reason;
  if (!CheckPageHeader(*header, &layout, &reason)) {
    ReportSkipped(page, reason);
    DiscardPageData(*header, raster);
    return;
  }
  const uint32_t bpl = header->cupsBytesPerLine;
  std::unique_ptr<uint8_t, FreeDeleter> buffer(static_cast<uint8_t*>(calloc(layout.bufSize, 1)));
  std::unique_ptr<uint8_t, FreeDeleter> row(static_cast<uint8_t*>(calloc(bpl, 1)));
  if (!buffer || !row) {
    ReportSkipped(page, "out of memory for the page buffer");
    DiscardPageData(*header, raster);
    return;
  }
  // A failed read ends the page: the rows not read stay zero.
  for (uint32_t y = 0; y < layout.height; ++y) {
    if (cupsRasterReadPixels(raster, row.get(), bpl) != bpl) break;
    ConvertRow(layout.format, row.get(), buffer.get() + uint64_t(y) * layout.stride, layout.width);
  }
  gOemPDev.pBufStart = buffer.release();
  gOemPDev.dwBufSize = layout.bufSize;
  gBufferedGeometry = GeometryOf(layout);
}
