// Validation of a raster page header before anything is allocated: which pixel formats the
// page read accepts, and the page buffer each one needs, computed without overflow.
#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <string>

#include "job/limits.h"
#include "job/page_geometry.h"
#include "job/raw_enum.h"

// How raster rows become page-buffer rows.
enum class PixelFormat {
  kRgb24,          // 24-bit R, G, B: stored B, G, R
  kGray8,          // 8-bit W or SW: stored as is
  kGray8Inverted,  // 8-bit K: stored as 255 - value
  kBit1White,      // 1-bit W or SW: a set bit is white (255), a clear bit black (0)
  kBit1Black,      // 1-bit K: a set bit is black (0), a clear bit white (255)
};

// The page buffer a valid header needs.
struct PageLayout {
  PixelFormat format = PixelFormat::kRgb24;
  uint32_t width = 0;     // pixels
  uint32_t height = 0;    // rows
  uint16_t bitCount = 0;  // bits per pixel in the page buffer: 24 or 8
  uint32_t stride = 0;    // bytes per page-buffer row, a multiple of 4
  uint32_t bufSize = 0;   // stride × height, at most kMaxPageBytes
  uint32_t xdpi = 0;
  uint32_t ydpi = 0;
};

// True when the page can be read; otherwise `reason` says why (for the "ERROR: ..." line).
bool CheckPageHeader(const cups_page_header2_t& header, PageLayout* layout, std::string* reason);

// The geometry of the page buffer that `layout` describes.
PageGeometry GeometryOf(const PageLayout& layout);
