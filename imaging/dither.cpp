// Halftoning of an 8-bit gray page by one of ten methods: fixed threshold, Floyd-Steinberg
// and Stucki error diffusion, six ordered dithers and the block-wise local threshold.
#include "imaging/dither.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/bmp_processing.h"
#include "imaging/dither_tables.h"

void BuildDitherT10(uint8_t* table) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      const int i0 = i & 1, i1 = (i >> 1) & 1, j0 = j & 1, j1 = (j >> 1) & 1;
      table[i * 4 + j] = static_cast<uint8_t>((j0 ^ i0) * 128 + j0 * 64 + (j1 ^ i1) * 32 + j1 * 16);
    }
  }
}

namespace {

// The page being halftoned; white and black are the two output values (swapped for a
// negative print).
struct Page {
  uint8_t* src;
  uint8_t* dst;
  uint32_t height, width, stride;
  uint8_t white, black;
  uint8_t* SrcRow(uint32_t y) const { return src + static_cast<size_t>(y) * stride; }
  uint8_t* DstRow(uint32_t y) const { return dst + static_cast<size_t>(y) * stride; }
};

void FixedThreshold(const Page& pg) {
  for (uint32_t y = 0; y < pg.height; ++y) {
    const uint8_t* s = pg.SrcRow(y);
    uint8_t* d = pg.DstRow(y);
    for (uint32_t x = 0; x < pg.width; ++x) d[x] = s[x] > 128 ? pg.white : pg.black;
  }
}

inline uint8_t ClampByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Floyd-Steinberg in raster order, diffusing into the source itself.
void FloydSteinberg(const Page& pg) {
  const uint32_t w = pg.width, h = pg.height;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* s = pg.SrcRow(y);
    uint8_t* below = y + 1 < h ? pg.SrcRow(y + 1) : nullptr;
    uint8_t* d = pg.DstRow(y);
    for (uint32_t x = 0; x < w; ++x) {
      const int v = s[x];
      const int e = v <= 128 ? v : v - 255;
      d[x] = v <= 128 ? pg.black : pg.white;
      if (x + 1 < w) s[x + 1] = ClampByte(s[x + 1] + e * 7 / 16);
      if (below == nullptr) continue;
      if (x > 0) below[x - 1] = ClampByte(below[x - 1] + e * 3 / 16);
      below[x] = ClampByte(below[x] + e * 5 / 16);
      if (x + 1 < w) below[x + 1] = ClampByte(below[x + 1] + e * 1 / 16);
    }
  }
}

// Methods 3 and 5: near-white always white, 0 always black, else white from the threshold up.
template <int n>
void OrderedAtLeast(const Page& pg, const uint8_t (*matrix)[n]) {
  for (uint32_t y = 0; y < pg.height; ++y) {
    const uint8_t* s = pg.SrcRow(y);
    uint8_t* d = pg.DstRow(y);
    const uint8_t* m = matrix[y % n];
    for (uint32_t x = 0, c = 0; x < pg.width; ++x, c = (c + 1 == n) ? 0 : c + 1) {
      const int v = s[x];
      d[x] = (v >= 250 || (v != 0 && v >= m[c])) ? pg.white : pg.black;
    }
  }
}

// Stucki weights (out of 42) for the rows y, y + 1, y + 2 at offsets -2..2.
constexpr int kStucki[3][5] = {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}};

// Stucki diffusion on 145 levels. Only three rows of the working image are live at a time,
// so they are kept in a ring; the last two rows and columns are never decided.
void Stucki(const Page& pg) {
  const uint32_t w = pg.width, h = pg.height;
  if (h <= 2 || w <= 2) return;
  std::vector<int32_t> ring(static_cast<size_t>(w) * 3);
  auto load = [&](uint32_t y) {
    int32_t* p = &ring[(y % 3) * static_cast<size_t>(w)];
    const uint8_t* s = pg.SrcRow(y);
    for (uint32_t x = 0; x < w; ++x) p[x] = static_cast<int32_t>(s[x] * 144.0 / 255.0 + 0.5);
  };
  load(0);
  load(1);
  for (uint32_t y = 0; y + 2 < h; ++y) {
    load(y + 2);
    int32_t* rows[3];
    for (int k = 0; k < 3; ++k) rows[k] = &ring[((y + k) % 3) * static_cast<size_t>(w)];
    uint8_t* d = pg.DstRow(y);
    for (uint32_t x = 0; x + 2 < w; ++x) {
      const int32_t q = rows[0][x];
      const int32_t e = q <= 72 ? q : q - 144;
      d[x] = q <= 72 ? pg.black : pg.white;
      for (int k = 0; k < 3; ++k) {
        for (int o = -2; o <= 2; ++o) {
          const int weight = kStucki[k][o + 2];
          if (weight == 0 || (o < 0 && x < static_cast<uint32_t>(-o))) continue;
          rows[k][x + o] += static_cast<int32_t>(e * weight / 42.0);
        }
      }
    }
  }
}

void OrderedT7(const Page& pg) {
  for (uint32_t y = 0; y < pg.height; ++y) {
    const uint8_t* s = pg.SrcRow(y);
    uint8_t* d = pg.DstRow(y);
    const uint8_t* m = kDitherT7[y % 15];
    for (uint32_t x = 0, c = 0; x < pg.width; ++x, c = (c + 1 == 15) ? 0 : c + 1) {
      const int v = s[x];
      const int q = static_cast<int>(v / 255.0 * 15.0 + 0.5);
      d[x] = (v == 255 || q > m[c]) ? pg.white : pg.black;
    }
  }
}

void OrderedB4(const Page& pg) {
  for (uint32_t y = 0; y < pg.height; ++y) {
    const uint8_t* s = pg.SrcRow(y);
    uint8_t* d = pg.DstRow(y);
    const uint8_t* m = kDitherB4[y % 4];
    for (uint32_t x = 0; x < pg.width; ++x) {
      const int v = s[x];
      d[x] = (v == 255 || (16 * v) / 255 > m[x % 4]) ? pg.white : pg.black;
    }
  }
}

// Clustered dots, the 8 x 16 tile shifted by half its width on every other band of 8 rows.
// Pure white stays white: the cell holding 128 could otherwise never be white, and white
// paper would get a dot in every tile.
void Clustered(const Page& pg) {
  for (uint32_t y = 0; y < pg.height; ++y) {
    const uint8_t* s = pg.SrcRow(y);
    uint8_t* d = pg.DstRow(y);
    const uint8_t* m = kDitherM9[y % 8];
    const uint32_t shift = (y % 16) >= 8 ? 8 : 0;
    for (uint32_t x = 0; x < pg.width; ++x) {
      const int v = s[x];
      const int q = static_cast<int>(v / 255.0 * 128.0 + 0.5);
      d[x] = (v == 255 || q > m[((x % 16) + shift) % 16]) ? pg.white : pg.black;
    }
  }
}

void OrderedT10(const Page& pg) {
  uint8_t* table = static_cast<uint8_t*>(std::malloc(256));
  if (table == nullptr) return;
  BuildDitherT10(table);
  for (uint32_t y = 0; y < pg.height; ++y) {
    const uint8_t* s = pg.SrcRow(y);
    uint8_t* d = pg.DstRow(y);
    const uint8_t* m = table + (y % 4) * 4;
    for (uint32_t x = 0; x < pg.width; ++x) d[x] = s[x] > m[x % 4] ? pg.white : pg.black;
  }
  std::free(table);
}

}  // namespace

int CBmpProcessing::Dither(int method, uint8_t* src, uint8_t* dst, uint32_t height, uint32_t width,
                           uint32_t stride, uint32_t, bool negative) {
  // Rows narrower than the width would overlap and run past the end of the buffers.
  if (src == nullptr || dst == nullptr || stride < width) return 1;
  const Page pg{src,
                dst,
                height,
                width,
                stride,
                static_cast<uint8_t>(negative ? 0 : 255),
                static_cast<uint8_t>(negative ? 255 : 0)};
  switch (method) {
    case 1:
      FixedThreshold(pg);
      break;
    case 2:
      FloydSteinberg(pg);
      break;
    case 3:
      OrderedAtLeast<16>(pg, kDitherM3);
      break;
    case 4: {
      uint8_t* out = dst;
      AdThresholdImgLocal(width, height, 8, stride, src, stride * height, &out, nullptr, negative,
                          false);
      break;
    }
    case 5:
      OrderedAtLeast<40>(pg, kDitherM5);
      break;
    case 6:
      Stucki(pg);
      break;
    case 7:
      OrderedT7(pg);
      break;
    case 8:
      OrderedB4(pg);
      break;
    case 9:
      Clustered(pg);
      break;
    case 10:
      OrderedT10(pg);
      break;
    default:
      break;
  }
  return 1;
}
