// Area-averaging shrink: every source pixel is added to exactly one destination pixel, which
// becomes the mean of its pixels, passed through the light table and tone table 0. A
// protected rectangle is copied unscaled; a second image can be shrunk in the same pass.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "base/owned.h"
#include "imaging/bmp_processing.h"

namespace {

// Channel sums and pixel count of one destination column.
struct Accumulator {
  uint32_t blue, green, red, count;
};

// One of the two images of a call, with its running state.
struct ShrinkImage {
  const uint8_t* src = nullptr;
  uint8_t* dst = nullptr;
  tagColorCFG cfg{};
  std::unique_ptr<Accumulator[], FreeDeleter> acc;
  // Values of the last written column, reused for an empty one (only when growing).
  uint8_t red = 0, green = 0, blue = 0;
};

bool UsesLight(const tagColorCFG& cfg) { return cfg.sBrightness != 0 || cfg.sContrast != 0; }
bool UsesLevels(const tagColorCFG& cfg) { return cfg.sLevels != 0 && cfg.sLevels != 300; }

// Output steps of one pixel: Light, tone table 0 with the near-white rule, then the store at
// column k of the row. The values are updated in place; an empty column reuses them.
void EmitPixel(CBmpProcessing& p, const tagColorCFG& cfg, uint32_t dstBitCount, uint8_t* row,
               uint32_t k, uint8_t& red, uint8_t& green, uint8_t& blue) {
  if (UsesLight(cfg)) p.Light(red, green, blue);
  if (dstBitCount != 8 && dstBitCount != 24) return;
  if (UsesLevels(cfg)) {
    const uint8_t* table = p.levelsTables[0];
    red = table[red];
    green = table[green];
    blue = table[blue];
    if (red > 249 && green > 249 && blue > 249) red = green = blue = 255;
  }
  if (dstBitCount == 8) {
    row[k] = static_cast<uint8_t>((11 * red + 16 * green + 5 * blue) >> 5);
  } else {
    uint8_t* px = row + 3 * static_cast<size_t>(k);
    px[0] = blue;
    px[1] = green;
    px[2] = red;
  }
}

void WriteRow(CBmpProcessing& p, ShrinkImage& img, uint32_t dstWidth, uint32_t dstBitCount,
              uint8_t* row) {
  for (uint32_t k = 0; k < dstWidth; ++k) {
    Accumulator& a = img.acc[k];
    if (a.count != 0) {
      img.red = static_cast<uint8_t>(a.red / a.count);
      img.green = static_cast<uint8_t>(a.green / a.count);
      img.blue = static_cast<uint8_t>(a.blue / a.count);
    }
    EmitPixel(p, img.cfg, dstBitCount, row, k, img.red, img.green, img.blue);
  }
}

// Adds one source row into the accumulators. Destination column k collects the run of
// source columns [first[k], first[k + 1]); columns in [whiteFrom, whiteTo] count as white.
template <int kBytes>
void AccumulateRow(const uint8_t* srcRow, const uint32_t* first, uint32_t dstWidth,
                   int64_t whiteFrom, int64_t whiteTo, Accumulator* acc) {
  const bool whitened = whiteFrom <= whiteTo;
  for (uint32_t k = 0; k < dstWidth; ++k) {
    const uint32_t x0 = first[k], x1 = first[k + 1];
    uint32_t blue = 0, green = 0, red = 0;
    for (uint32_t x = x0; x < x1; ++x) {
      if (whitened && static_cast<int64_t>(x) >= whiteFrom && static_cast<int64_t>(x) <= whiteTo) {
        blue += 255;
        green += 255;
        red += 255;
      } else if (kBytes == 3) {
        const uint8_t* px = srcRow + 3 * static_cast<size_t>(x);
        blue += px[0];
        green += px[1];
        red += px[2];
      } else {
        blue += srcRow[x];
      }
    }
    if (kBytes == 1) green = red = blue;  // white adds 255 to all three alike
    Accumulator& a = acc[k];
    a.blue += blue;
    a.green += green;
    a.red += red;
    a.count += x1 - x0;
  }
}

struct Geometry {
  uint32_t srcWidth, srcHeight, srcBitCount, srcStride;
  uint32_t dstWidth, dstHeight, dstBitCount, dstStride;
};

// Copies the protected rectangle unscaled to its scaled origin, through the output steps.
void CopyProtected(CBmpProcessing& p, ShrinkImage& img, const Geometry& g, const tagRECT& rc) {
  const float rowRatio = static_cast<float>(g.srcHeight) / static_cast<float>(g.dstHeight);
  const float colRatio = static_cast<float>(g.srcWidth) / static_cast<float>(g.dstWidth);
  const int64_t row0 = static_cast<int64_t>(static_cast<float>(rc.top) / rowRatio);
  const int64_t col0 = static_cast<int64_t>(static_cast<float>(rc.left) / colRatio);
  const int64_t yFrom = rc.top > 0 ? rc.top : 0;
  const int64_t yTo = rc.bottom < static_cast<int64_t>(g.srcHeight) ? rc.bottom : g.srcHeight - 1;
  const int64_t xFrom = rc.left > 0 ? rc.left : 0;
  const int64_t xTo = rc.right < static_cast<int64_t>(g.srcWidth) ? rc.right : g.srcWidth - 1;
  for (int64_t y = yFrom; y <= yTo; ++y) {
    const int64_t dy = row0 + (y - rc.top);
    if (dy < 0 || dy >= g.dstHeight) continue;
    const uint8_t* srcRow = img.src + static_cast<size_t>(y) * g.srcStride;
    uint8_t* dstRow = img.dst + static_cast<size_t>(dy) * g.dstStride;
    for (int64_t x = xFrom; x <= xTo; ++x) {
      const int64_t dx = col0 + (x - rc.left);
      if (dx < 0 || dx >= g.dstWidth) continue;
      uint8_t red, green, blue;
      // Read at the source's own depth, so that unequal depths cannot read past a row.
      if (g.srcBitCount == 24) {
        const uint8_t* px = srcRow + 3 * static_cast<size_t>(x);
        blue = px[0];
        green = px[1];
        red = px[2];
      } else {
        red = green = blue = srcRow[x];
      }
      EmitPixel(p, img.cfg, g.dstBitCount, dstRow, static_cast<uint32_t>(dx), red, green, blue);
    }
  }
}

}  // namespace

int CBmpProcessing::InvoicQIShrinkImg2(uint32_t srcWidth, uint32_t srcHeight, uint32_t srcBitCount,
                                       uint32_t srcStride_, const uint8_t* src, const uint8_t* src2,
                                       uint32_t dstWidth, uint32_t dstHeight, uint32_t dstBitCount,
                                       uint8_t** dst, uint8_t** dst2, uint32_t dstSize,
                                       tagColorCFG cfg, tagColorCFG cfg2, tagRECT protect) {
  if (src == nullptr || dst == nullptr || *dst == nullptr) return 0;
  if (srcBitCount != 8 && srcBitCount != 24) return 0;
  if (srcWidth == 0 || srcHeight == 0 || dstWidth == 0 || dstHeight == 0) return 1;
  const Geometry g = {srcWidth, srcHeight, srcBitCount, srcStride_,
                      dstWidth, dstHeight, dstBitCount, dstSize / dstHeight};
  const uint64_t outBytes = dstBitCount == 24 ? 3 : (dstBitCount == 8 ? 1 : 0);
  if (g.dstStride < outBytes * dstWidth) return 0;  // rows would overrun the buffer

  // The second image takes part only with both its source and its destination.
  const bool second = src2 != nullptr && dst2 != nullptr && *dst2 != nullptr;
  ShrinkImage images[2];
  images[0].src = src;
  images[0].dst = *dst;
  images[0].cfg = cfg;
  if (second) {
    images[1].src = src2;
    images[1].dst = *dst2;
    images[1].cfg = cfg2;
  }
  const int count = second ? 2 : 1;
  for (int i = 0; i < count; ++i) {
    images[i].acc.reset(static_cast<Accumulator*>(std::calloc(dstWidth, sizeof(Accumulator))));
    if (!images[i].acc) return 0;
  }

  // First source column of every destination column: column k closes after source column x
  // only when (x + 1) * dstWidth exceeds (k + 1) * srcWidth, strictly. Same for every row;
  // an empty column (only when growing) has an empty run.
  std::unique_ptr<uint32_t[], FreeDeleter> first(
      static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * (static_cast<size_t>(dstWidth) + 1))));
  if (!first) return 0;
  uint64_t j = 0;
  uint32_t k = 0;
  first[0] = 0;
  for (uint32_t x = 0; x < srcWidth; ++x) {
    j += dstWidth;
    if (j > srcWidth) {
      if (k < dstWidth) first[++k] = x + 1;
      j -= srcWidth;
    }
  }
  while (k < dstWidth) first[++k] = srcWidth;

  const bool guarded = protect.left < protect.right && protect.right > 0 &&
                       protect.top < protect.bottom && protect.bottom > 0;
  uint64_t a = 0;
  uint32_t r = 0;
  for (uint32_t y = 0; y < srcHeight; ++y) {
    a += dstHeight;
    const bool rowGuarded = guarded && static_cast<int64_t>(y) >= protect.top &&
                            static_cast<int64_t>(y) <= protect.bottom;
    const int64_t whiteFrom = rowGuarded ? protect.left : 1;
    const int64_t whiteTo = rowGuarded ? protect.right : 0;
    for (int i = 0; i < count; ++i) {
      const uint8_t* srcRow = images[i].src + static_cast<size_t>(y) * srcStride_;
      if (srcBitCount == 24) {
        AccumulateRow<3>(srcRow, first.get(), dstWidth, whiteFrom, whiteTo, images[i].acc.get());
      } else {
        AccumulateRow<1>(srcRow, first.get(), dstWidth, whiteFrom, whiteTo, images[i].acc.get());
      }
    }
    // Row r closes as soon as (y + 1) * dstHeight reaches (r + 1) * srcHeight.
    if (a >= srcHeight) {
      a -= srcHeight;
      for (int i = 0; i < count; ++i) {
        if (r < dstHeight) {
          WriteRow(*this, images[i], dstWidth, dstBitCount,
                   images[i].dst + static_cast<size_t>(r) * g.dstStride);
        }
        std::fill(images[i].acc.get(), images[i].acc.get() + dstWidth, Accumulator{0, 0, 0, 0});
      }
      ++r;
    }
  }

  if (guarded) {
    for (int i = 0; i < count; ++i) CopyProtected(*this, images[i], g, protect);
  }
  return 1;
}
