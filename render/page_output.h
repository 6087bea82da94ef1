// Page output: the second half of a page's rendering. Packs the halftoned page into BITMAP
// data, sizes the label, plans the cutter settings and print blocks, and writes them.
#pragma once

#include <cstdint>
#include <vector>

#include "base/owned.h"
#include "imaging/gdi_types.h"
#include "job/records.h"

class CTSPLRenderClass;

namespace quorvel::render {

// The halftoned working image: one byte per pixel, 255 leaves a dot blank (borrowed).
struct PageImage {
  const uint8_t* pixels;
  int32_t width;
  int32_t height;
  int32_t stride;
};

// Where the bitmap lies on the label and how big its data is.
struct BitmapGeometry {
  tagRECT rect;         // output rectangle, inclusive, after clamping and mirroring
  int32_t bitsPerRow;   // B: dots from the byte-aligned left edge to the right edge
  int32_t bytesPerRow;  // R: the width in bytes that the BITMAP header carries
  int32_t rows;         // N
  int32_t alignedLeft;  // X0: the left edge rounded down to a byte, 0 when not positive
};

// The output rectangle of an image rectangle. A negative left or top edge moves the image
// to the edge of the label with its full size, so that no column or row is lost.
BitmapGeometry OutputGeometry(const tagRECT& imageRect, bool mirror, uint32_t labelWidth);

// Writes the BITMAP data into `bits` (borrowed, geo.bytesPerRow x geo.rows bytes): rows of
// geo.bytesPerRow bytes, a clear bit prints a dot. Every pixel other than 255 prints.
void PackBitmap(const PageImage& image, const BitmapGeometry& geo, bool mirror, uint8_t* bits);

// One step of a page's print sequence: a "SET CUTTER" line or a print block of n copies.
struct PrintStep {
  enum Kind { kCutter, kBlock } kind;
  int64_t value;  // cutter count (0 is OFF) or copies of the block
};

// The cutter settings and print blocks of one page. `printed` is the job's label counter
// (dwPagePrinted), advanced by the labels planned in cutter mode.
std::vector<PrintStep> PlanPrintSteps(const tagOEMCFG& cfg, uint32_t page, int16_t copies,
                                      bool last, uint32_t* printed);

// Writes the page: CLS, SIZE, the planned cutter lines and print blocks. The bitmap is
// packed once and written with one write per print block. False when the page could not
// be written (no bitmap could be had; its "ERROR: Page N ..." line is written), so nothing of
// it reached the printer.
bool WritePageOutput(CTSPLRenderClass& renderer, const tagOEMCFG& cfg, const _DEVMODE& dev,
                     _OEMPDEV& pdev, const PageImage& image, const tagRECT& imageRect,
                     int rotationType, bool last);

}  // namespace quorvel::render
