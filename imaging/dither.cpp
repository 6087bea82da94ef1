// Halftoning of an 8-bit gray page by one of ten methods: fixed threshold, Floyd-Steinberg
// and Stucki error diffusion, six ordered dithers and the block-wise local threshold.
#include "imaging/dither.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/owned.h"
#include "imaging/bmp_processing.h"
#include "imaging/dither_tables.h"
#include "logging/vanta.h"

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

constexpr int ClampLevel(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// ---- Floyd-Steinberg ----
// The diffusion works in place in the source, and the clamp after every single share makes
// the order of the shares matter. A pixel's level is final once it holds, in this order, the
// shares from the pixels above left, above and above right, then its left neighbour's share.
// Only that last share is a serial chain along the row; the rest is spread eight pixels at a
// time, and four rows run their chains together in a wavefront so that the chains overlap.

// Error of a pixel decided at level v.
constexpr int DiffusionError(int v) { return v <= 128 ? v : v - 255; }

// Indexed by the unclamped sum t (-64..319) that a pixel reaches before its clamp: the share
// the pixel hands right (7/16 of its error) and its clamped level. Looking the share up by t
// keeps the clamp off the serial chain.
constexpr int kSumBias = 64, kSumRange = 384;
// The shares are pointer-wide so that the serial chain adds and indexes without a sign
// extension between its loads.
struct SumTables {
  intptr_t rightShare[kSumRange];
  uint8_t level[kSumRange];
};
constexpr SumTables MakeSumTables() {
  SumTables t{};
  for (int i = 0; i < kSumRange; ++i) {
    const int v = ClampLevel(i - kSumBias);
    t.rightShare[i] = DiffusionError(v) * 7 / 16;
    t.level[i] = static_cast<uint8_t>(v);
  }
  return t;
}
constexpr SumTables kSums = MakeSumTables();
const intptr_t* const kRightShareOf = kSums.rightShare + kSumBias;
const uint8_t* const kLevelOf = kSums.level + kSumBias;
constexpr int kNoLeftNeighbour = 255;  // a sum whose level has no error: the first pixel

// Pixel x of a row takes 1/16 of the error above left, 5/16 of the error above and 3/16 of
// the error above right, clamped after each. A missing neighbour counts as no error.
inline uint8_t TakeSharesFromAbove(int b, int left, int up, int right) {
  b = ClampLevel(b + left / 16);
  b = ClampLevel(b + up * 5 / 16);
  return static_cast<uint8_t>(ClampLevel(b + right * 3 / 16));
}

// Eight pixels at once: 16-bit lanes hold every intermediate value without overflow.
typedef int16_t Lanes __attribute__((vector_size(16)));
typedef uint8_t Bytes8 __attribute__((vector_size(8)));
typedef uint8_t Bytes16 __attribute__((vector_size(16)));

inline Lanes LoadLanes(const uint8_t* p) {
  Bytes8 b;
  std::memcpy(&b, p, sizeof b);
  return __builtin_convertvector(b, Lanes);
}
inline Lanes LaneErrors(Lanes v) { return v - ((v > 128) & 255); }
inline Lanes LaneDiv16(Lanes t) { return (t + ((t >> 15) & 15)) >> 4; }  // toward zero
inline Lanes LaneClamp(Lanes t) {
#ifdef __SSE2__
  const __m128i low = _mm_max_epi16(reinterpret_cast<__m128i>(t), _mm_setzero_si128());
  return reinterpret_cast<Lanes>(_mm_min_epi16(low, _mm_set1_epi16(255)));
#else
  t &= ~(t >> 15);  // below 0: 0
  const Lanes over = t > 255;
  return (t & ~over) | (over & 255);  // above 255: 255
#endif
}
// Clamped lanes (0..255) to their eight bytes.
inline void StoreLevels(Lanes b, uint8_t* p) {
#ifdef __SSE2__
  const __m128i m = reinterpret_cast<__m128i>(b);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(m, m));
#else
  const Bytes8 levels = __builtin_convertvector(b, Bytes8);
  std::memcpy(p, &levels, sizeof levels);
#endif
}

// Pixels x0..x1-1 (x1 <= w) of a row take their shares from the final row above.
void TakeSharesFromAbove(const uint8_t* up, uint8_t* row, uint32_t x0, uint32_t x1, uint32_t w) {
  auto one = [&](uint32_t x) {
    row[x] = TakeSharesFromAbove(row[x], x > 0 ? DiffusionError(up[x - 1]) : 0,
                                 DiffusionError(up[x]), x + 1 < w ? DiffusionError(up[x + 1]) : 0);
  };
  uint32_t x = x0;
  if (x == 0 && x < x1) one(x++);
  for (; x + 8 <= x1 && x + 8 < w; x += 8) {  // lanes read up[x - 1 .. x + 8]
    Lanes b = LaneClamp(LoadLanes(row + x) + LaneDiv16(LaneErrors(LoadLanes(up + x - 1))));
    b = LaneClamp(b + LaneDiv16(LaneErrors(LoadLanes(up + x)) * 5));
    b = LaneClamp(b + LaneDiv16(LaneErrors(LoadLanes(up + x + 1)) * 3));
    StoreLevels(b, row + x);
  }
  for (; x < x1; ++x) one(x);
}

// A row whose levels are final becomes black and white.
void DecideRow(const uint8_t* s, uint8_t* d, uint32_t w, uint8_t white, uint8_t black) {
  uint32_t x = 0;
  for (; x + 16 <= w; x += 16) {
    Bytes16 v;
    std::memcpy(&v, s + x, sizeof v);
    const Bytes16 isWhite = reinterpret_cast<Bytes16>(v > 128);
    const Bytes16 out = (isWhite & white) | (~isWhite & black);
    std::memcpy(d + x, &out, sizeof out);
  }
  for (; x < w; ++x) d[x] = s[x] <= 128 ? black : white;
}

// Row by row with one chain at a time: the way that needs no scratch memory.
void DiffuseRowByRow(const Page& pg) {
  for (uint32_t y = 0; y < pg.height; ++y) {
    uint8_t* s = pg.SrcRow(y);
    int t = kNoLeftNeighbour;
    for (uint32_t x = 0; x < pg.width; ++x) s[x] = kLevelOf[t = s[x] + kRightShareOf[t]];
    DecideRow(s, pg.DstRow(y), pg.width, pg.white, pg.black);
    if (y + 1 < pg.height) TakeSharesFromAbove(s, pg.SrcRow(y + 1), 0, pg.width, pg.width);
  }
}

// The wavefront: kBand rows in a scratch band of whole chunks. At step j, band row k works on
// chunk j - 2k: the row above has then finished the chunk after it, so the shares from above
// for this chunk are all known. Rows with no chunk at a step run on an idle chunk instead, so
// the inner loop has no branch; chunk ends beyond the width are scratch too.
constexpr uint32_t kBand = 4, kChunk = 16;

void DiffuseBand(uint8_t* band, uint32_t bandStride, uint32_t rows, uint32_t w, uint8_t* idle) {
  const uint32_t chunks = bandStride / kChunk;
  intptr_t t[kBand] = {kNoLeftNeighbour, kNoLeftNeighbour, kNoLeftNeighbour, kNoLeftNeighbour};
  for (uint32_t j = 0; j < chunks + 2 * (rows - 1); ++j) {
    uint8_t* p[kBand];
    for (uint32_t k = 0; k < kBand; ++k) {
      const int64_t c = static_cast<int64_t>(j) - 2 * static_cast<int64_t>(k);
      if (k >= rows || c < 0 || c >= chunks) {
        p[k] = idle;
        continue;
      }
      const uint32_t x0 = static_cast<uint32_t>(c) * kChunk;
      uint8_t* row = band + k * bandStride;
      if (k > 0) TakeSharesFromAbove(row - bandStride, row, x0, std::min(x0 + kChunk, w), w);
      if (c == 0) t[k] = kNoLeftNeighbour;
      p[k] = row + x0;
    }
    for (uint32_t i = 0; i < kChunk; ++i) {
      for (uint32_t k = 0; k < kBand; ++k) {
        t[k] = p[k][i] + kRightShareOf[t[k]];
        p[k][i] = kLevelOf[t[k]];
      }
    }
  }
}

// Floyd-Steinberg in raster order, diffusing into the source itself.
void FloydSteinberg(const Page& pg) {
  const uint32_t w = pg.width, h = pg.height;
  if (w == 0 || h == 0) return;
  const uint32_t bandStride = (w + kChunk - 1) / kChunk * kChunk;
  // A page one chunk wide gains nothing from the wavefront.
  MallocBytes owner(w > kChunk
                        ? static_cast<uint8_t*>(std::malloc(size_t{kBand} * bandStride + kChunk))
                        : nullptr);
  if (owner == nullptr) return DiffuseRowByRow(pg);
  uint8_t* band = owner.get();
  std::memset(band, 0, size_t{kBand} * bandStride + kChunk);  // chunk ends beyond w stay defined
  uint8_t* idle = band + size_t{kBand} * bandStride;
  for (uint32_t y0 = 0; y0 < h; y0 += kBand) {
    const uint32_t rows = std::min(kBand, h - y0);
    for (uint32_t k = 0; k < rows; ++k) std::memcpy(band + k * bandStride, pg.SrcRow(y0 + k), w);
    DiffuseBand(band, bandStride, rows, w, idle);
    for (uint32_t k = 0; k < rows; ++k) {
      uint8_t* s = pg.SrcRow(y0 + k);
      std::memcpy(s, band + k * bandStride, w);
      DecideRow(s, pg.DstRow(y0 + k), w, pg.white, pg.black);
    }
    if (y0 + rows < h) TakeSharesFromAbove(pg.SrcRow(y0 + rows - 1), pg.SrcRow(y0 + rows), 0, w, w);
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
// so they are kept in a ring. Every pixel is decided; shares that would fall outside the
// image are dropped, so the last rows and columns print like the rest of the page.
void Stucki(const Page& pg) {
  const uint32_t w = pg.width, h = pg.height;
  if (h == 0 || w == 0) return;
  // Scratch from the system allocator like every image buffer: a failed allocation decides
  // nothing instead of throwing out of the filter.
  MallocPtr<int32_t> owner(
      static_cast<int32_t*>(std::malloc(sizeof(int32_t) * 3 * static_cast<size_t>(w))));
  if (owner == nullptr) {
    VLOG_ERROR("Dither method 6: no memory for %u working rows of %u", 3u, w);
    return;
  }
  int32_t* ring = owner.get();
  auto load = [&](uint32_t y) {
    if (y >= h) return;
    int32_t* p = ring + (y % 3) * static_cast<size_t>(w);
    const uint8_t* s = pg.SrcRow(y);
    for (uint32_t x = 0; x < w; ++x) p[x] = static_cast<int32_t>(s[x] * 144.0 / 255.0 + 0.5);
  };
  load(0);
  load(1);
  for (uint32_t y = 0; y < h; ++y) {
    load(y + 2);
    const int live = static_cast<int>(std::min<uint32_t>(3, h - y));  // rows y .. y + live - 1
    int32_t* rows[3];
    for (int k = 0; k < 3; ++k) rows[k] = ring + ((y + k) % 3) * static_cast<size_t>(w);
    uint8_t* d = pg.DstRow(y);
    for (uint32_t x = 0; x < w; ++x) {
      const int32_t q = rows[0][x];
      const int32_t e = q <= 72 ? q : q - 144;
      d[x] = q <= 72 ? pg.black : pg.white;
      for (int k = 0; k < live; ++k) {
        for (int o = -2; o <= 2; ++o) {
          const int weight = kStucki[k][o + 2];
          if (weight == 0 || (o < 0 && x < static_cast<uint32_t>(-o)) || x + o >= w) continue;
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
  MallocBytes owner(static_cast<uint8_t*>(std::malloc(256)));
  if (owner == nullptr) {
    VLOG_ERROR("Dither method 10: no memory for its threshold table");
    return;
  }
  uint8_t* table = owner.get();
  BuildDitherT10(table);
  for (uint32_t y = 0; y < pg.height; ++y) {
    const uint8_t* s = pg.SrcRow(y);
    uint8_t* d = pg.DstRow(y);
    const uint8_t* m = table + (y % 4) * 4;
    for (uint32_t x = 0; x < pg.width; ++x) d[x] = s[x] > m[x % 4] ? pg.white : pg.black;
  }
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
