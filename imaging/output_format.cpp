// Page to cropped 8-bit gray: rotation, brightness/contrast, tone curve, gray conversion,
// column limit and the byte-aligned crop to the content, in one pass over the page.
// The tone and light tables are folded once per call into per-channel lookups, so a pixel
// costs three table loads and two adds, and the page is walked row by row in every turn.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/dots.h"
#include "base/owned.h"
#include "imaging/bmp_processing.h"
#include "imaging/gray_row.h"

namespace {

// A channel's lookup entry packs, from bit 0, its weighted tone level (11, 16 or 5 times the
// level; a pixel's three sum to at most 8160), then three counters that the sum of a pixel's
// three entries adds up: tone levels below 250, zeros, and source values of 250 or more.
constexpr int kToneShift = 13, kZeroShift = 15, kNearShift = 17;
constexpr uint32_t kWeightMask = (1u << kToneShift) - 1;
constexpr uint32_t kAllZero = 3u << kZeroShift;
constexpr uint32_t kNearWhite = 3u << kNearShift;  // highest field: a plain compare finds it

struct GrayLut {
  uint32_t blue[256], green[256], red[256];
  uint8_t gray[256];  // 8-bit sources: the value of gray byte v
  uint8_t black;      // pure black, which brightness and contrast leave alone
  bool plain;         // no tone change: 24-bit rows take the table-free GrayRowBgr
};

uint8_t ToneValue(uint32_t weighted, bool anyBelow250) {
  return anyBelow250 ? static_cast<uint8_t>(weighted >> 5) : 255;
}

void BuildLut(const uint8_t* tone, const int16_t* light, bool useLight, GrayLut* lut) {
  for (int v = 0; v < 256; ++v) {
    const int level = useLight ? tone[static_cast<uint8_t>(light[v])] : tone[v];
    const uint32_t flags = (uint32_t{level < 250} << kToneShift) |
                           (uint32_t{v >= 250} << kNearShift) | (uint32_t{v == 0} << kZeroShift);
    lut->blue[v] = 5 * level | flags;
    lut->green[v] = 16 * level | flags;
    lut->red[v] = 11 * level | flags;
  }
  lut->black = ToneValue(32 * tone[0], tone[0] < 250);
  lut->plain = tone[0] == 0;  // pure black keeps tone[0] whatever the light table says
  for (int v = 0; v < 256; ++v) {
    const int level = useLight ? tone[static_cast<uint8_t>(light[v])] : tone[v];
    lut->plain = lut->plain && level == v;
    lut->gray[v] = v >= 250 ? 255 : (v == 0 ? lut->black : ToneValue(32 * level, level < 250));
  }
}

inline uint8_t PixelValue(uint32_t sum, uint8_t black) {
  if (sum >= kNearWhite) return 255;
  if ((sum & kAllZero) == kAllZero) return black;
  return ToneValue(sum & kWeightMask, (sum >> kToneShift) & 3);
}

// First and last index of the content seen in a run of pixels; empty while last < 0.
struct Span {
  int64_t first = -1, last = -1;
  bool Empty() const { return last < 0; }
};

// True when all eight bytes at p are 250 or more: per byte, bit 7 set and the low seven bits
// plus 6 reaching bit 7 (no carry can cross into the next byte).
inline bool EightNearWhite(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fu, kSix = 0x0606060606060606u;
  constexpr uint64_t kTop = 0x8080808080808080u;
  return (((w & kLow7) + kSix) & w & kTop) == kTop;
}

// Converts n pixels to gray values (255 for near-white), stored forwards from out or, when
// kBackwards, backwards from it, and finds the content among them: every pixel when kAll,
// else those that are not near-white. Paper is mostly white: after a near-white pixel, whole
// runs of eight near-white pixels are passed over a word at a time.
template <int kBpp, bool kAll, bool kBackwards>
Span ConvertRun(const uint8_t* p, int64_t n, uint8_t* out, const GrayLut& lut) {
  Span s;
  // With every level kept the rule reduces to GrayRowBgr's, which gives 255 only to
  // near-white pixels: the content is what is not 255.
  if (kBpp == 3 && !kBackwards && lut.plain) {
    GrayRowBgr(p, n, out);
    if (kAll) return n > 0 ? Span{0, n - 1} : s;
    int64_t i = 0, j = n - 1;
    while (i < n && out[i] == 255) ++i;
    if (i == n) return s;
    while (out[j] == 255) --j;
    return Span{i, j};
  }
  for (int64_t i = 0; i < n;) {
    uint8_t& o = kBackwards ? out[-i] : out[i];
    bool content;
    if (kBpp == 1) {
      o = lut.gray[p[0]];
      content = p[0] < 250;
    } else {
      const uint32_t sum = lut.blue[p[0]] + lut.green[p[1]] + lut.red[p[2]];
      o = PixelValue(sum, lut.black);
      content = sum < kNearWhite;
    }
    ++i;
    p += kBpp;
    if (content) {
      if (!kAll && s.first < 0) s.first = i - 1;
      if (!kAll) s.last = i - 1;
      continue;
    }
    while (i + 8 <= n && EightNearWhite(p) &&
           (kBpp == 1 || (EightNearWhite(p + 8) && EightNearWhite(p + 16)))) {
      std::memset(kBackwards ? out - i - 7 : out + i, 255, 8);
      i += 8;
      p += 8 * kBpp;
    }
  }
  if (kAll && n > 0) s = Span{0, n - 1};
  return s;
}

// The content of n pixels whose values are not needed (they lie beyond the column limit).
Span ScanRun(const uint8_t* p, int64_t n, int bpp, bool all) {
  Span s;
  if (n <= 0) return s;
  if (all) return Span{0, n - 1};
  for (int64_t i = 0; i < n; ++i, p += bpp) {
    if (p[0] >= 250 && p[bpp - 1] >= 250 && p[bpp / 2] >= 250) continue;
    if (s.first < 0) s.first = i;
    s.last = i;
  }
  return s;
}

// Bounds of the content seen so far; columns and rows are tracked apart because a pixel
// beyond the column limit still counts for the rows.
struct Box {
  int64_t minCol = std::numeric_limits<int64_t>::max(), maxCol = -1;
  int64_t minRow = std::numeric_limits<int64_t>::max(), maxRow = -1;
  void Rows(int64_t a, int64_t b) {
    minRow = std::min(minRow, a);
    maxRow = std::max(maxRow, b);
  }
  void Cols(int64_t a, int64_t b) {
    minCol = std::min(minCol, a);
    maxCol = std::max(maxCol, b);
  }
};

// Shift that puts a byte at offset j (0..7) of a 64-bit word in memory.
constexpr int ByteShift(int j) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return 8 * (7 - j);
#else
  return 8 * j;
#endif
}

// One call's page walk: the source W x H at bpp bytes per pixel, the turned page of R rows in
// mid (stride S, N columns that receive pixels).
struct Walk {
  const uint8_t* src;
  int64_t srcStride, W, H, bpp, N, S;
  uint8_t* mid;
  uint8_t* line;  // quarter turns: up to 8 converted source rows of W values
  const GrayLut* lut;
  bool all;  // skip white clear: every pixel is content
  Box box;

  const uint8_t* Row(int64_t y) const { return src + y * srcStride; }

  template <bool kBackwards = false>
  Span Convert(const uint8_t* p, int64_t n, uint8_t* out) const {
    if (bpp == 1)
      return all ? ConvertRun<1, true, kBackwards>(p, n, out, *lut)
                 : ConvertRun<1, false, kBackwards>(p, n, out, *lut);
    return all ? ConvertRun<3, true, kBackwards>(p, n, out, *lut)
               : ConvertRun<3, false, kBackwards>(p, n, out, *lut);
  }
  Span Scan(const uint8_t* p, int64_t n) const { return ScanRun(p, n, static_cast<int>(bpp), all); }

  void Upright();
  void HalfTurn();
  void QuarterTurn(bool clockwise);

  // Eight converted rows in line become eight page columns from firstCol: one 8-byte store
  // per page row.
  template <bool kClockwise>
  void Transpose8(int64_t firstCol) {
    for (int64_t x = 0; x < W; ++x) {
      const uint8_t* c = line + x;
      auto at = [&](int k) {  // byte of source row k, placed at its page column
        return uint64_t{c[k * W]} << ByteShift(kClockwise ? 7 - k : k);
      };
      const uint64_t word = at(0) | at(1) | at(2) | at(3) | at(4) | at(5) | at(6) | at(7);
      std::memcpy(mid + (kClockwise ? x : W - 1 - x) * S + firstCol, &word, 8);
    }
  }
};

// No turn: source row y is page row y; columns from N on are dropped.
void Walk::Upright() {
  for (int64_t y = 0; y < H; ++y) {
    const Span in = Convert(Row(y), N, mid + y * S);
    const Span beyond = Scan(Row(y) + N * bpp, W - N);
    if (!in.Empty()) box.Cols(in.first, in.last);
    if (!in.Empty() || !beyond.Empty()) box.Rows(y, y);
  }
}

// Half turn: source row y is page row H - 1 - y read backwards, so the columns that survive
// the limit are the source's last N.
void Walk::HalfTurn() {
  const int64_t skipped = W - N;
  for (int64_t y = 0; y < H; ++y) {
    const Span in =
        N > 0 ? Convert<true>(Row(y) + skipped * bpp, N, mid + (H - 1 - y) * S + N - 1) : Span();
    const Span beyond = Scan(Row(y), skipped);
    if (!in.Empty()) box.Cols(N - 1 - in.last, N - 1 - in.first);
    if (!in.Empty() || !beyond.Empty()) box.Rows(H - 1 - y, H - 1 - y);
  }
}

// Quarter turns: source row y becomes page column y (counter-clockwise, page row W - 1 - x)
// or column H - 1 - y (clockwise, page row x). Eight source rows are converted together so
// that each page row receives eight neighbouring bytes at once.
void Walk::QuarterTurn(bool clockwise) {
  // Source rows whose column lies within the limit.
  const int64_t y0 = clockwise ? H - N : 0, y1 = clockwise ? H : N;
  for (int64_t y = 0; y < H; ++y) {
    if (y >= y0 && y < y1) continue;
    const Span s = Scan(Row(y), W);
    if (!s.Empty())
      box.Rows(clockwise ? s.first : W - 1 - s.last, clockwise ? s.last : W - 1 - s.first);
  }
  for (int64_t y = y0; y < y1; y += 8) {
    const int64_t n = std::min<int64_t>(8, y1 - y);
    for (int64_t k = 0; k < n; ++k) {
      const Span s = Convert(Row(y + k), W, line + k * W);
      if (s.Empty()) continue;
      const int64_t col = clockwise ? H - 1 - (y + k) : y + k;
      box.Cols(col, col);
      box.Rows(clockwise ? s.first : W - 1 - s.last, clockwise ? s.last : W - 1 - s.first);
    }
    // Page columns of this group, left to right: the group's rows in order, or reversed.
    const int64_t firstCol = clockwise ? H - y - n : y;
    if (n == 8)
      clockwise ? Transpose8<true>(firstCol) : Transpose8<false>(firstCol);
    else
      for (int64_t x = 0; x < W; ++x) {
        uint8_t* dst = mid + (clockwise ? x : W - 1 - x) * S + firstCol;
        for (int64_t k = 0; k < n; ++k) dst[clockwise ? n - 1 - k : k] = line[k * W + x];
      }
  }
}

void SetEmptyResult(tagBITMAPINFOHEADER* header, tagRECT* crop) {
  *crop = tagRECT{0, 0, 0, 0};
  header->biBitCount = 8;
  header->biWidth = 0;
  header->biHeight = 0;
  header->biSizeImage = 0;
}

// Makes `buffer` hold at least `size` bytes; its content is not kept.
bool GrowBuffer(CBmpProcessing::ReusableBuffer* buffer, uint32_t size) {
  if (buffer->data && buffer->capacity >= size) return true;
  std::free(buffer->data);
  buffer->data = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
  buffer->capacity = buffer->data ? size : 0;
  return buffer->data != nullptr;
}

}  // namespace

void CBmpProcessing::SetConversionBuffers(ReusableBuffer* frame, ReusableBuffer* result) {
  convFrame = frame;
  convResult = result;
}

bool CBmpProcessing::CoverBMP2OutputFormat(const uint8_t* src, uint32_t /*srcLen*/, uint8_t** out,
                                           uint32_t* outLen, tagBITMAPINFOHEADER* header,
                                           tagRECT* crop, int rotation, int, int, COLORLEVELSITEM,
                                           bool, int brightness, int contrast, int columnLimit,
                                           int16_t skipWhite) {
  if (src == nullptr || out == nullptr || outLen == nullptr || header == nullptr || crop == nullptr)
    return false;
  const int depth = header->biBitCount;
  if (depth != 8 && depth != 24) return false;
  const int64_t W = header->biWidth > 0 ? header->biWidth : 0;
  const int64_t H = header->biHeight > 0 ? header->biHeight : 0;

  // Frame of the turned page: R rows of at most N columns.
  const bool quarter = rotation == 0 || rotation == 2;
  const int64_t R = quarter ? W : H;
  const uint64_t limit = static_cast<uint32_t>(columnLimit);
  const int64_t N =
      static_cast<int64_t>(std::min<uint64_t>(limit, static_cast<uint64_t>(quarter ? H : W)));
  const int64_t S = RowStride(N, 8);
  if (R * S > std::numeric_limits<uint32_t>::max()) return false;  // no sane page is that big
  // Every byte of the first N columns receives a pixel; only the row padding needs its white.
  const uint32_t midSize = static_cast<uint32_t>(R * S > 0 ? R * S : 1);
  // A lent frame stays with its lender; otherwise the frame is this call's own.
  MallocBytes ownMid(convFrame ? nullptr : static_cast<uint8_t*>(std::malloc(midSize)));
  uint8_t* mid =
      convFrame ? (GrowBuffer(convFrame, midSize) ? convFrame->data : nullptr) : ownMid.get();
  // Quarter turns convert up to eight source rows (those within the column limit) at a time.
  const int64_t lineBytes = quarter ? std::min<int64_t>(8, N) * W : 0;
  MallocBytes line(static_cast<uint8_t*>(std::malloc(lineBytes > 0 ? lineBytes : 1)));
  MallocPtr<GrayLut> lut(static_cast<GrayLut*>(std::malloc(sizeof(GrayLut))));
  if (mid == nullptr || line == nullptr || lut == nullptr) return false;
  if (S > N)
    for (int64_t r = 0; r < R; ++r) std::memset(mid + r * S + N, 255, S - N);
  BuildLut(levelsTables[0], lightTable, brightness != 0 || contrast != 0, lut.get());

  const int64_t srcStride = RowStride(W, depth);
  Walk walk{src, srcStride, W,          H,         depth / 8,      N,
            S,   mid,       line.get(), lut.get(), skipWhite == 0, Box()};
  if (quarter)
    walk.QuarterTurn(rotation == 2);
  else if (rotation == 1)
    walk.HalfTurn();
  else
    walk.Upright();
  line.reset();  // released before the result is allocated, as the peak is the page itself
  lut.reset();
  const Box& box = walk.box;

  // Content found only beyond the column limit leaves no column to crop to; such a page is
  // as empty as a blank one (otherwise the box would come out with a negative width).
  if (box.maxRow < 0 || box.maxCol < 0) {
    SetEmptyResult(header, crop);
    return true;
  }
  const int64_t left = box.minCol & ~int64_t{7};
  const int64_t width = ((box.maxCol - left + 1) + 7) & ~int64_t{7};
  const int64_t height = box.maxRow - box.minRow + 1;
  const int64_t outStride = RowStride(width, 8);
  const uint32_t size = static_cast<uint32_t>(height * outStride);
  *crop = tagRECT{static_cast<int32_t>(left), static_cast<int32_t>(box.minRow),
                  static_cast<int32_t>(left + width - 1), static_cast<int32_t>(box.maxRow)};
  header->biWidth = static_cast<int32_t>(width);
  header->biHeight = static_cast<int32_t>(height);
  header->biBitCount = 8;
  header->biSizeImage = size;

  const int64_t copy = std::min(outStride, S - left);
  bool whiten = false;  // the columns past the frame get white; every other byte is copied
  if (*out == nullptr) {
    *out = convResult ? (GrowBuffer(convResult, size) ? convResult->data : nullptr)
                      : static_cast<uint8_t*>(std::malloc(size));
    if (*out == nullptr) return false;
    whiten = copy < outStride;
    *outLen = size;
  } else if (*outLen < size) {
    return false;
  }
  for (int64_t i = 0; i < height; ++i) {
    uint8_t* row = *out + i * outStride;
    std::memcpy(row, mid + (box.minRow + i) * S + left, copy);
    if (whiten) std::memset(row + copy, 255, outStride - copy);
  }
  return true;
}
