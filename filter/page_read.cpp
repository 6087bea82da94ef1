// The page read: validates the header, takes the page buffer (kept from the previous page
// when it is large enough) and reads the raster rows into it (24-bit R, G, B stored B, G, R;
// gray and 1-bit pages stored as 8-bit gray), the whole page in one call where libcups allows.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/owned.h"
#include "filter/page_format.h"
#include "filter/pixel_swap.h"
#include "filter/raster_source.h"
#include "filter/rastoqevtspl.h"
#include "job/page_error.h"
#include "job/page_geometry.h"
#include "job/records.h"
#include "logging/vanta.h"

namespace {

// Pixel data of a rejected page is dropped in pieces of at most this size.
constexpr uint32_t kDiscardChunk = 1u << 20;

inline uint8_t Bit(const uint8_t* src, uint32_t x) { return (src[x >> 3] >> (7 - (x & 7))) & 1; }

// True for the formats whose raster row is as long as the page-buffer row's pixels, so the
// row can be read straight into the page buffer and converted where it lies.
bool SameSize(PixelFormat format) {
  return format == PixelFormat::kRgb24 || format == PixelFormat::kGray8 ||
         format == PixelFormat::kGray8Inverted;
}

// Converts `rows` rows of a same-size format in place in the page buffer.
void ConvertInPlace(PixelFormat format, uint8_t* buf, uint32_t stride, uint32_t width,
                    uint32_t rows) {
  if (format == PixelFormat::kRgb24 && stride == 3 * uint64_t(width)) {
    SwapRedBlue(buf, width * rows);  // no row padding: the rows are one run of pixels
    return;
  }
  for (uint32_t y = 0; y < rows; ++y) {
    uint8_t* row = buf + uint64_t(y) * stride;
    if (format == PixelFormat::kRgb24) {
      SwapRedBlue(row, width);
    } else if (format == PixelFormat::kGray8Inverted) {
      for (uint32_t x = 0; x < width; ++x) row[x] = uint8_t(255 - row[x]);
    }
  }
}

// Expands one 1-bit raster row (`src`) into a page-buffer row of 8-bit gray.
void ExpandBits(PixelFormat format, const uint8_t* src, uint8_t* dst, uint32_t width) {
  const uint8_t set = format == PixelFormat::kBit1White ? 255 : 0;
  for (uint32_t x = 0; x < width; ++x) dst[x] = Bit(src, x) ? set : uint8_t(255 - set);
}

// The page buffer is kept from one page to the next: every page of a job needs the same
// few megabytes, and fresh memory would cost the kernel a page fault and a zeroed page per
// 4 KiB every time.
struct SpareBuffer {
  MallocBytes data;
  uint32_t capacity = 0;
};
SpareBuffer gSpare;

uint8_t* TakePageBuffer(uint32_t size) {
  if (gSpare.data && gSpare.capacity >= size) {
    gSpare.capacity = 0;
    return gSpare.data.release();
  }
  gSpare = SpareBuffer{};
  return static_cast<uint8_t*>(malloc(size));
}

// Reads the page's pixel rows into `buf` (which need not be zeroed) and returns how many
// rows arrived whole; a failed read ends the page.
uint32_t ReadRows(cups_raster_t* raster, const PageLayout& layout, uint32_t bpl, uint8_t* buf,
                  uint8_t* bits) {
  uint64_t before = 0;
  if (SameSize(layout.format) && bpl == layout.stride && CountedRasterBytes(raster, &before)) {
    // One call for the whole page; after a short read the byte count says which rows are
    // complete (libcups copies uncompressed data straight into `buf`).
    if (cupsRasterReadPixels(raster, buf, layout.bufSize) == layout.bufSize) return layout.height;
    uint64_t after = before;
    CountedRasterBytes(raster, &after);
    return uint32_t(std::min<uint64_t>((after - before) / bpl, layout.height));
  }
  for (uint32_t y = 0; y < layout.height; ++y) {
    uint8_t* row = buf + uint64_t(y) * layout.stride;
    if (bits) {
      if (cupsRasterReadPixels(raster, bits, bpl) != bpl) return y;
      ExpandBits(layout.format, bits, row, layout.width);
    } else if (cupsRasterReadPixels(raster, row, bpl) != bpl) {
      return y;
    }
  }
  return layout.height;
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
      const uint32_t chunk = std::min(bpl - done, kDiscardChunk);
      if (cupsRasterReadPixels(raster, sink.data(), chunk) != chunk) return;
      done += chunk;
    }
  }
}

}  // namespace

void GetPrintData(cups_page_header2_t* header, cups_raster_t* raster, int page) {
  if (!raster || !header) return;
  // Normally already handed back by TransPrintData.
  KeepPageBuffer(gOemPDev.pBufStart, gOemPDev.dwBufSize);
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
  MallocBytes buffer(TakePageBuffer(layout.bufSize));
  MallocBytes bits;
  if (!SameSize(layout.format)) bits.reset(static_cast<uint8_t*>(malloc(bpl)));
  if (!buffer || (!SameSize(layout.format) && !bits)) {
    ReportSkipped(page, "out of memory for the page buffer");
    DiscardPageData(*header, raster);
    return;
  }
  const uint32_t rows = ReadRows(raster, layout, bpl, buffer.get(), bits.get());
  if (SameSize(layout.format)) {
    ConvertInPlace(layout.format, buffer.get(), layout.stride, layout.width, rows);
  }
  // The buffer is not cleared beforehand: zero what the rows did not fill, that is the row
  // padding and every row past a failed read (including one that arrived in part).
  const uint32_t used = SameSize(layout.format) ? bpl : layout.width;
  if (used < layout.stride) {
    for (uint32_t y = 0; y < rows; ++y) {
      memset(buffer.get() + uint64_t(y) * layout.stride + used, 0, layout.stride - used);
    }
  }
  memset(buffer.get() + uint64_t(rows) * layout.stride, 0,
         layout.bufSize - uint64_t(rows) * layout.stride);
  gOemPDev.pBufStart = buffer.release();
  gOemPDev.dwBufSize = layout.bufSize;
  gBufferedGeometry = GeometryOf(layout);
}

void KeepPageBuffer(uint8_t* buffer, uint32_t size) {
  if (!buffer) return;
  if (gSpare.data && gSpare.capacity >= size) {
    free(buffer);
    return;
  }
  gSpare.data.reset(buffer);
  gSpare.capacity = size;
}
