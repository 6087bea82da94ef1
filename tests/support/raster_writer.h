// Test support: writes real CUPS raster streams with libcups (cupsRasterOpen in write mode,
// cupsRasterWriteHeader2, cupsRasterWritePixels), so tests never hand-assemble headers.
#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::test {

// Fills one raster row: `row` holds `bytes` bytes (the page's cupsBytesPerLine) for row `y`.
using RowFiller = std::function<void(uint32_t y, uint8_t* row, uint32_t bytes)>;

// One page of a raster stream. The defaults describe what the real CUPS chain sends for an
// RGB label PPD: 24-bit chunky RGB, 203 dpi, one copy, uncollated.
struct RasterPage {
  uint32_t width = 16;  // cupsWidth, pixels
  uint32_t height = 8;  // cupsHeight, rows
  uint32_t xdpi = 203;  // HWResolution[0]
  uint32_t ydpi = 203;  // HWResolution[1]
  uint32_t copies = 1;  // NumCopies
  bool collate = false;
  cups_cspace_t colorSpace = CUPS_CSPACE_RGB;
  uint32_t bitsPerColor = 8;
  cups_order_t colorOrder = CUPS_ORDER_CHUNKED;
  cups_orient_t orientation = CUPS_ORIENT_0;
  RowFiller fill;  // null: every byte 0xFF (white for RGB and W, black for K)
  // Applied to the header after every derived field is set: the way to build malformed or
  // unusual headers (the values are still written by libcups itself).
  std::function<void(cups_page_header2_t&)> tweak;
  // Rows of pixel data to write; -1 writes cupsHeight rows. Fewer rows truncate the page.
  int64_t rowsToWrite = -1;
};

// The header libcups writes for `page`: colour count from the colour space, cupsBitsPerPixel
// for chunky order, cupsBytesPerLine = (width × bits per pixel + 7) / 8, PageSize in points
// from the size and resolution, then `page.tweak`.
cups_page_header2_t MakeHeader(const RasterPage& page);

// Writes the stream (uncompressed version 3, native byte order) to a new file at `path`;
// false when libcups refuses a header or a write fails.
bool WriteRasterFile(const std::string& path, const std::vector<RasterPage>& pages);

// The stream as bytes in memory (an empty list gives the bare 4-byte synchronisation word).
std::string RasterBytes(const std::vector<RasterPage>& pages);

// Ready-made row fillers.
RowFiller SolidRgb(uint8_t r, uint8_t g, uint8_t b);  // every pixel R, G, B (24-bit rows)
RowFiller SolidByte(uint8_t value);                   // every byte `value`
// Pixel (x, y) of a 24-bit row is R = x, G = y, B = x + y (each mod 256): every pixel and
// its channel order can be recognised after the read.
RowFiller GradientRgb();

}  // namespace quorvel::test
