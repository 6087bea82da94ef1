// The straightforward reference versions of the page conversion and of Floyd-Steinberg
// diffusion, kept verbatim from before their optimisation; the equivalence test and the
// benchmark compare the fast operations of CBmpProcessing against them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "imaging/bmp_processing.h"

namespace ref {

// ---- CoverBMP2OutputFormat, one pixel at a time ----

// Where source pixel (x, y) of a W x H page lands in the turned page: col = c0 + cdx*x and
// row = r0 + rdx*x for one source row, so the pixel loop only adds.
struct RowMap {
  int64_t c0, cdx, r0, rdx;
};

inline RowMap MapRow(int rotation, int64_t W, int64_t H, int64_t y) {
  switch (rotation) {
    case 0:  // quarter turn counter-clockwise
      return {y, 0, W - 1, -1};
    case 1:  // half turn
      return {W - 1, -1, H - 1 - y, 0};
    case 2:  // quarter turn clockwise
      return {H - 1 - y, 0, 0, 1};
    default:
      return {0, 1, y, 0};
  }
}

struct Box {
  int64_t minCol = std::numeric_limits<int64_t>::max(), maxCol = -1;
  int64_t minRow = std::numeric_limits<int64_t>::max(), maxRow = -1;
};

inline void SetEmptyResult(tagBITMAPINFOHEADER* header, tagRECT* crop) {
  *crop = tagRECT{0, 0, 0, 0};
  header->biBitCount = 8;
  header->biWidth = 0;
  header->biHeight = 0;
  header->biSizeImage = 0;
}

// Same arguments as CBmpProcessing::CoverBMP2OutputFormat, on the tone state of p.
inline bool CoverBMP2OutputFormat(CBmpProcessing& p, const uint8_t* src, uint32_t /*srcLen*/,
                                  uint8_t** out, uint32_t* outLen, tagBITMAPINFOHEADER* header,
                                  tagRECT* crop, int rotation, int brightness, int contrast,
                                  int columnLimit, int16_t skipWhite) {
  if (src == nullptr || out == nullptr || outLen == nullptr || header == nullptr || crop == nullptr)
    return false;
  const int depth = header->biBitCount;
  if (depth != 8 && depth != 24) return false;
  const int64_t W = header->biWidth > 0 ? header->biWidth : 0;
  const int64_t H = header->biHeight > 0 ? header->biHeight : 0;
  const int64_t srcStride = ((W * depth + 31) / 32) * 4;
  const int bpp = depth / 8;

  const bool quarter = rotation == 0 || rotation == 2;
  const int64_t R = quarter ? W : H;
  const uint64_t limit = static_cast<uint32_t>(columnLimit);
  const int64_t N =
      static_cast<int64_t>(std::min<uint64_t>(limit, static_cast<uint64_t>(quarter ? H : W)));
  const int64_t S = ((N * 8 + 31) / 32) * 4;
  if (R * S > std::numeric_limits<uint32_t>::max()) return false;
  uint8_t* mid = static_cast<uint8_t*>(std::malloc(R * S > 0 ? R * S : 1));
  if (mid == nullptr) return false;
  std::memset(mid, 255, R * S);

  const bool light = brightness != 0 || contrast != 0;
  const uint8_t* tone = p.levelsTables[0];
  Box box;
  for (int64_t y = 0; y < H; ++y) {
    const uint8_t* px = src + y * srcStride;
    const RowMap m = MapRow(rotation, W, H, y);
    int64_t col = m.c0, row = m.r0;
    for (int64_t x = 0; x < W; ++x, px += bpp, col += m.cdx, row += m.rdx) {
      uint8_t b = px[0], g = px[0], r = px[0];
      if (bpp == 3) {
        g = px[1];
        r = px[2];
      }
      uint8_t value = 255;
      if (b >= 250 && g >= 250 && r >= 250) {
        if (skipWhite) continue;
      } else {
        if (light) p.Light(r, g, b);
        const int tr = tone[r], tg = tone[g], tb = tone[b];
        if (tr < 250 || tg < 250 || tb < 250)
          value = static_cast<uint8_t>((11 * tr + 16 * tg + 5 * tb) >> 5);
      }
      if (row < box.minRow) box.minRow = row;
      if (row > box.maxRow) box.maxRow = row;
      if (col >= N) continue;
      if (col < box.minCol) box.minCol = col;
      if (col > box.maxCol) box.maxCol = col;
      mid[row * S + col] = value;
    }
  }

  if (box.maxRow < 0 || box.maxCol < 0) {
    SetEmptyResult(header, crop);
    std::free(mid);
    return true;
  }
  const int64_t left = box.minCol & ~int64_t{7};
  const int64_t width = ((box.maxCol - left + 1) + 7) & ~int64_t{7};
  const int64_t height = box.maxRow - box.minRow + 1;
  const int64_t outStride = ((width * 8 + 31) / 32) * 4;
  const uint32_t size = static_cast<uint32_t>(height * outStride);
  *crop = tagRECT{static_cast<int32_t>(left), static_cast<int32_t>(box.minRow),
                  static_cast<int32_t>(left + width - 1), static_cast<int32_t>(box.maxRow)};
  header->biWidth = static_cast<int32_t>(width);
  header->biHeight = static_cast<int32_t>(height);
  header->biBitCount = 8;
  header->biSizeImage = size;

  if (*out == nullptr) {
    *out = static_cast<uint8_t*>(std::malloc(size));
    if (*out == nullptr) {
      std::free(mid);
      return false;
    }
    std::memset(*out, 255, size);
    *outLen = size;
  } else if (*outLen < size) {
    std::free(mid);
    return false;
  }
  const int64_t copy = std::min(outStride, S - left);
  for (int64_t i = 0; i < height; ++i)
    std::memcpy(*out + i * outStride, mid + (box.minRow + i) * S + left, copy);
  std::free(mid);
  return true;
}

// ---- Dither method 2: Floyd-Steinberg diffusing into the source, one pixel at a time ----

inline uint8_t ClampByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Same arguments and result as CBmpProcessing::Dither(2, ...).
inline int FloydSteinbergDither(uint8_t* src, uint8_t* dst, uint32_t h, uint32_t w, uint32_t stride,
                                bool negative) {
  if (src == nullptr || dst == nullptr || stride < w) return 1;
  const uint8_t white = negative ? 0 : 255, black = negative ? 255 : 0;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* s = src + static_cast<size_t>(y) * stride;
    uint8_t* below = y + 1 < h ? src + static_cast<size_t>(y + 1) * stride : nullptr;
    uint8_t* d = dst + static_cast<size_t>(y) * stride;
    for (uint32_t x = 0; x < w; ++x) {
      const int v = s[x];
      const int e = v <= 128 ? v : v - 255;
      d[x] = v <= 128 ? black : white;
      if (x + 1 < w) s[x + 1] = ClampByte(s[x + 1] + e * 7 / 16);
      if (below == nullptr) continue;
      if (x > 0) below[x - 1] = ClampByte(below[x - 1] + e * 3 / 16);
      below[x] = ClampByte(below[x] + e * 5 / 16);
      if (x + 1 < w) below[x + 1] = ClampByte(below[x + 1] + e * 1 / 16);
    }
  }
  return 1;
}

}  // namespace ref
