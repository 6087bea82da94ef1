// Adaptive threshold of the page pipeline: a threshold per square block blended with the
// page's own, spread bilinearly over the page, and every pixel compared with its threshold.
#include "imaging/adaptive_threshold.h"

#include <cstdlib>
#include <limits>

#include "base/dots.h"
#include "base/owned.h"
#include "imaging/threshold_select.h"

int OptimalThreshold(int method, const uint8_t* image, int width, int height, int stride,
                     const tagRECT* region) {
  if (image == nullptr || width <= 0 || height <= 0 || stride < width) return -1;
  const ThresholdRegion r = ClipThresholdRegion(region, width, height);
  if (r.Empty()) return -1;
  double hist[256];
  BuildHistogram(image, stride, r, hist);
  // Unlike the processor's selection, an all-white region is cut just below white.
  return static_cast<int>(SelectThreshold(hist, method, 254));
}

int Resample(const uint8_t* src, int srcWidth, int srcHeight, int srcStride, int dstWidth,
             int dstHeight, uint8_t** dst) {
  if (dstWidth <= 0 || dstHeight <= 0) return 0;
  if (dstWidth == srcWidth && dstHeight == srcHeight) return 1;
  if (src == nullptr || dst == nullptr || srcWidth <= 0 || srcHeight <= 0) return 0;
  const size_t stride = ((static_cast<size_t>(dstWidth) + 3) / 4) * 4;
  uint8_t* out = static_cast<uint8_t*>(std::calloc(stride * dstHeight, 1));
  if (out == nullptr) return 1;
  *dst = out;
  const float sx = static_cast<float>(srcWidth) / static_cast<float>(dstWidth);
  const float sy = static_cast<float>(srcHeight) / static_cast<float>(dstHeight);
  for (int r = 0; r < dstHeight; ++r) {
    const float fy = static_cast<float>(r) * sy;
    int y0 = static_cast<int>(fy);
    if (y0 > srcHeight - 1) y0 = srcHeight - 1;  // keeps a rounded-up product inside
    const int y1 = y0 + 1 < srcHeight ? y0 + 1 : srcHeight - 1;
    const float dy = fy - static_cast<float>(y0);
    const uint8_t* row0 = src + static_cast<size_t>(y0) * srcStride;
    const uint8_t* row1 = src + static_cast<size_t>(y1) * srcStride;
    uint8_t* d = out + static_cast<size_t>(r) * stride;
    for (int k = 0; k < dstWidth; ++k) {
      const float fx = static_cast<float>(k) * sx;
      int x0 = static_cast<int>(fx);
      if (x0 > srcWidth - 1) x0 = srcWidth - 1;
      const int x1 = x0 + 1 < srcWidth ? x0 + 1 : srcWidth - 1;
      const float dx = fx - static_cast<float>(x0);
      const int a = row0[x0], b = row0[x1], p = row1[x0], q = row1[x1];
      const float left = static_cast<float>(a) + static_cast<float>(p - a) * dy;
      const float right = static_cast<float>(b) + static_cast<float>(q - b) * dy;
      d[k] = static_cast<uint8_t>(static_cast<int>(left + dx * (right - left)));
    }
  }
  return 1;
}

namespace {

// Block grid of blended thresholds, rows padded to 4 bytes; null when a block has none.
MallocBytes BuildBlockGrid(const uint8_t* image, int width, int height, int stride, int method,
                           int block, int bias, float mix, int bx, int by, int gridRow) {
  MallocBytes grid(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(gridRow) * by, 1)));
  if (grid == nullptr) return nullptr;
  const int g = OptimalThreshold(method, image, width, height, stride, nullptr);
  if (g < 0) return nullptr;
  for (int i = 0; i < by; ++i) {
    for (int j = 0; j < bx; ++j) {
      const tagRECT region{j * block, (i + 1) * block, (j + 1) * block, i * block};
      const int t = OptimalThreshold(method, image, width, height, stride, &region);
      if (t < 0) return nullptr;
      const float v = static_cast<float>(t) * (1.0f - mix) + static_cast<float>(g) * mix +
                      static_cast<float>(bias);
      int value = v > 255.0f ? 255 : (v < 0.0f ? 0 : static_cast<int>(v));
      grid.get()[static_cast<size_t>(i) * gridRow + j] = static_cast<uint8_t>(value);
    }
  }
  return grid;
}

}  // namespace

int AdaptiveThreshold(const uint8_t* image, int width, int height, int stride, uint8_t** out,
                      int* outLen, bool negative, int method, int blockSize, int bias, float mix) {
  if (image == nullptr || out == nullptr || outLen == nullptr) return 0;
  if (width <= 0 || height <= 0 || stride < width) return 0;
  const int block = blockSize < 8 ? 8 : blockSize;
  if (mix < 0.0f) mix = 0.0f;
  if (mix > 1.0f) mix = 1.0f;
  const int64_t bx = (int64_t{width} + block - 1) / block;
  const int64_t by = (int64_t{height} + block - 1) / block;
  const int64_t outStride = RowStride(width, 8);
  // The map and the output must stay addressable with int sizes.
  constexpr int64_t kMax = std::numeric_limits<int>::max();
  if (bx * block > kMax || by * block > kMax || outStride * height > kMax ||
      ((bx * block + 3) / 4) * 4 * (by * block) > kMax)
    return 0;
  const int gridRow = static_cast<int>(((bx + 3) / 4) * 4);
  MallocBytes grid = BuildBlockGrid(image, width, height, stride, method, block, bias, mix,
                                    static_cast<int>(bx), static_cast<int>(by), gridRow);
  if (grid == nullptr) return 0;

  uint8_t* mapOut = nullptr;
  const int mapW = static_cast<int>(bx * block), mapH = static_cast<int>(by * block);
  Resample(grid.get(), static_cast<int>(bx), static_cast<int>(by), gridRow, mapW, mapH, &mapOut);
  grid.reset();
  MallocBytes map(mapOut);
  if (map == nullptr) return 0;
  const size_t mapStride = ((static_cast<size_t>(mapW) + 3) / 4) * 4;

  const size_t length = static_cast<size_t>(outStride) * height;
  MallocBytes result(static_cast<uint8_t*>(std::calloc(length, 1)));
  if (result == nullptr) return 0;
  const uint8_t white = negative ? 0 : 255;
  const uint8_t black = negative ? 255 : 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = image + static_cast<size_t>(y) * stride;
    const uint8_t* t = map.get() + static_cast<size_t>(y) * mapStride;
    uint8_t* d = result.get() + static_cast<size_t>(y) * outStride;
    for (int x = 0; x < width; ++x) d[x] = s[x] >= t[x] ? white : black;
  }
  *out = result.release();
  *outLen = static_cast<int>(length);
  return 1;
}
