// Validation of raster page headers: positive size, a supported depth and colour order,
// cupsBytesPerLine consistent with width and depth, sane resolutions, bounded buffer size.
#include "filter/page_format.h"

#include <cstdarg>
#include <cstdio>

#include "base/dots.h"

namespace {

bool IsGraySpace(unsigned space) {
  return space == CUPS_CSPACE_W || space == CUPS_CSPACE_SW || space == CUPS_CSPACE_K;
}

bool IsRgbSpace(unsigned space) {
  return space == CUPS_CSPACE_RGB || space == CUPS_CSPACE_SRGB || space == CUPS_CSPACE_ADOBERGB;
}

// The format of a supported depth and colour order; false for anything else.
bool FormatOf(const cups_page_header2_t& h, PixelFormat* format) {
  if (RawEnum(h.cupsColorOrder) != CUPS_ORDER_CHUNKED) return false;
  const unsigned space = unsigned(RawEnum(h.cupsColorSpace));
  if (h.cupsBitsPerColor == 8 && h.cupsBitsPerPixel == 24 && IsRgbSpace(space)) {
    *format = PixelFormat::kRgb24;
  } else if (h.cupsBitsPerColor == 8 && h.cupsBitsPerPixel == 8 && IsGraySpace(space)) {
    *format = space == CUPS_CSPACE_K ? PixelFormat::kGray8Inverted : PixelFormat::kGray8;
  } else if (h.cupsBitsPerColor == 1 && h.cupsBitsPerPixel == 1 && IsGraySpace(space)) {
    *format = space == CUPS_CSPACE_K ? PixelFormat::kBit1Black : PixelFormat::kBit1White;
  } else {
    return false;
  }
  return true;
}

__attribute__((format(printf, 1, 2))) std::string Format(const char* fmt, ...) {
  char text[160];
  va_list args;
  va_start(args, fmt);
  vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  return text;
}

}  // namespace

bool CheckPageHeader(const cups_page_header2_t& h, PageLayout* layout, std::string* reason) {
  if (h.cupsWidth == 0 || h.cupsHeight == 0) {
    *reason = Format("empty page (%u x %u pixels)", h.cupsWidth, h.cupsHeight);
    return false;
  }
  PixelFormat format;
  if (!FormatOf(h, &format)) {
    *reason = Format("unsupported raster format (%u bits per pixel, colour space %u, order %u)",
                     h.cupsBitsPerPixel, unsigned(RawEnum(h.cupsColorSpace)),
                     unsigned(RawEnum(h.cupsColorOrder)));
    return false;
  }
  const uint64_t rowBits = uint64_t(h.cupsWidth) * h.cupsBitsPerPixel;
  if (h.cupsBytesPerLine != (rowBits + 7) / 8) {
    *reason = Format("cupsBytesPerLine %u does not match %u pixels of %u bits", h.cupsBytesPerLine,
                     h.cupsWidth, h.cupsBitsPerPixel);
    return false;
  }
  if (h.HWResolution[0] == 0 || h.HWResolution[1] == 0 || h.HWResolution[0] > kMaxResolution ||
      h.HWResolution[1] > kMaxResolution) {
    *reason = Format("invalid resolution (%u x %u dpi)", h.HWResolution[0], h.HWResolution[1]);
    return false;
  }
  const uint16_t bitCount = format == PixelFormat::kRgb24 ? 24 : 8;
  const uint64_t stride = uint64_t(RowStride(h.cupsWidth, bitCount));
  const uint64_t size = stride * h.cupsHeight;  // both factors < 2^32: no overflow
  if (size > kMaxPageBytes) {
    *reason = Format("page of %u x %u pixels needs more than %u MiB", h.cupsWidth, h.cupsHeight,
                     unsigned(kMaxPageBytes >> 20));
    return false;
  }
  layout->format = format;
  layout->width = h.cupsWidth;
  layout->height = h.cupsHeight;
  layout->bitCount = bitCount;
  layout->stride = uint32_t(stride);
  layout->bufSize = uint32_t(size);
  layout->xdpi = h.HWResolution[0];
  layout->ydpi = h.HWResolution[1];
  return true;
}

PageGeometry GeometryOf(const PageLayout& layout) {
  PageGeometry g;
  g.width = int32_t(layout.width);
  g.height = int32_t(layout.height);
  g.bitCount = layout.bitCount;
  g.xdpi = int16_t(layout.xdpi);
  g.ydpi = int16_t(layout.ydpi);
  return g;
}
