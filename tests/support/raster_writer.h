// Test support: writes real CUPS raster streams with libcups (cupsRasterWriteHeader2,
// cupsRasterWritePixels), so tests never hand-assemble headers.
#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::test {

// Fills one raster row: `row` holds `bytes` bytes (the page's cupsBytesPerLine) for row `y`.
using RowFiller = std::function<void(uint32_t y, uint8_t* row, uint32_t bytes)>;

// One page; the defaults are what CUPS sends for an RGB label PPD: 24-bit chunky RGB, 203 dpi.
struct RasterPage {
  uint32_t width = 16;  // cupsWidth, pixels
  uint32_t height = 8;  // cupsHeight, rows
  uint32_t xdpi = 203;  // HWResolution
  uint32_t ydpi = 203;
  uint32_t copies = 1;  // NumCopies
  bool collate = false;
  cups_cspace_t colorSpace = CUPS_CSPACE_RGB;
  uint32_t bitsPerColor = 8;
  cups_order_t colorOrder = CUPS_ORDER_CHUNKED;
  cups_orient_t orientation = CUPS_ORIENT_0;
  RowFiller fill;  // null: every byte 0xFF (white for RGB and W, black for K)
  // Applied last to the derived header: the way to build malformed headers.
  std::function<void(cups_page_header2_t&)> tweak;
  int64_t rowsToWrite = -1;  // -1: cupsHeight rows; fewer truncate the stream
};

// The header of `page`: cupsNumColors from the colour space, cupsBitsPerPixel for the order,
// cupsBytesPerLine = (width x bits per pixel + 7) / 8, PageSize in points, then `page.tweak`.
cups_page_header2_t MakeHeader(const RasterPage& page);

// Writes the stream to a new file; false when libcups refuses a header or a write fails.
bool WriteRasterFile(const std::string& path, const std::vector<RasterPage>& pages);

// The stream in memory (no pages: the bare 4-byte synchronisation word).
std::string RasterBytes(const std::vector<RasterPage>& pages);

RowFiller SolidRgb(uint8_t r, uint8_t g, uint8_t b);  // every 24-bit pixel R, G, B
RowFiller SolidByte(uint8_t value);                   // every byte `value`
// Pixel (x, y) of a 24-bit row is R = x, G = y, B = x + y (mod 256): every pixel and its channel
// order can be recognised after the read.
RowFiller GradientRgb();

}  // namespace quorvel::test
