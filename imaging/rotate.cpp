// Quarter and half turns of 8- and 24-bit images into a new buffer, and the breaking of a
// solid black run into dashes (8-bit bytes or packed 1-bit rows).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/dots.h"
#include "imaging/bmp_processing.h"

namespace {

// Copies whole pixels of `bytes` bytes; out(X, Y) takes src(x, y) as the turn dictates.
void TurnPixels(const uint8_t* src, int64_t w, int64_t h, int64_t srcStride, int turn, int bytes,
                uint8_t* dst, int64_t dstStride) {
  const int64_t outW = turn == 1 ? w : h;
  const int64_t outH = turn == 1 ? h : w;
  for (int64_t Y = 0; Y < outH; ++Y) {
    uint8_t* d = dst + Y * dstStride;
    for (int64_t X = 0; X < outW; ++X, d += bytes) {
      int64_t x, y;
      if (turn == 0) {
        x = w - 1 - Y;
        y = X;
      } else if (turn == 1) {
        x = w - 1 - X;
        y = h - 1 - Y;
      } else {
        x = Y;
        y = h - 1 - X;
      }
      const uint8_t* s = src + y * srcStride + x * bytes;
      for (int k = 0; k < bytes; ++k) d[k] = s[k];
    }
  }
}

}  // namespace

bool CBmpProcessing::RotateImgData(const uint8_t* src, uint32_t /*srcLen*/, tagRECT rect,
                                   tagBITMAPINFOHEADER* header, int16_t turn, uint8_t** out,
                                   uint32_t* outLen, tagRECT* outRect) {
  if (src == nullptr || header == nullptr || out == nullptr || outLen == nullptr) return false;
  const int depth = header->biBitCount;
  if (depth == 1) return false;
  if (turn < 0 || turn > 2) return true;  // not a turn: nothing to do
  const int64_t w = int64_t{rect.right} - rect.left + 1;
  const int64_t h = int64_t{rect.bottom} - rect.top + 1;
  if (w <= 0 || h <= 0) return false;  // an inverted rectangle describes no image
  const int64_t srcStride = RowStride(w, depth);
  const int64_t dstStride = turn == 1 ? srcStride : RowStride(h, depth);
  const int64_t size64 = turn == 1 ? h * srcStride : w * dstStride;
  if (size64 > std::numeric_limits<uint32_t>::max()) return false;
  const uint32_t size = static_cast<uint32_t>(size64);

  if (*out == nullptr) {
    *out = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (*out == nullptr) return false;
    *outLen = size;
  } else if (*outLen < size) {
    *outLen = size;
    return false;
  }
  std::memset(*out, 255, *outLen);
  if (depth == 8 || depth == 24) TurnPixels(src, w, h, srcStride, turn, depth / 8, *out, dstStride);

  const int32_t L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
  const int32_t Fw = header->biWidth, Fh = header->biHeight;
  const int32_t wi = static_cast<int32_t>(w), hi = static_cast<int32_t>(h);
  tagRECT turned;
  if (turn == 0) {
    turned.left = T;
    turned.top = T + Fw - 1 - R;
    turned.right = T + hi - 1;
    turned.bottom = turned.top + wi - 1;
  } else if (turn == 1) {
    turned.left = L + Fw - 1 - R;
    turned.top = T + Fh - 1 - B;
    turned.right = turned.left + wi - 1;
    turned.bottom = turned.top + hi - 1;
  } else {
    turned.left = T + Fh - 1 - B;
    turned.top = L;
    turned.right = turned.left + hi - 1;
    turned.bottom = R;
  }
  if (outRect != nullptr) *outRect = turned;
  header->biWidth = turn == 1 ? wi : hi;
  header->biHeight = turn == 1 ? hi : wi;
  header->biSizeImage = size;
  return true;
}

int CBmpProcessing::ResetBlackLineData(uint8_t* buf, uint32_t len, int16_t dash, int16_t gap,
                                       int16_t depth) {
  if (buf == nullptr) return 0;
  const int16_t period = static_cast<int16_t>(dash + gap);
  if (period <= 0 || dash < 0 || gap < 0) return 1;
  if (depth == 8) {
    // Each whole period keeps its first `dash` bytes and whitens the last `gap`.
    for (uint64_t m = period; m < len; m += period) std::memset(buf + m - gap, 255, gap);
  } else if (depth == 1 && gap > 0) {
    // Packed bits: every period after the first begins with its gap.
    const uint64_t bits = uint64_t{len} * 8;
    for (uint64_t m = period; m < bits; m += period) {
      const uint64_t end = std::min<uint64_t>(m + gap, bits);
      for (uint64_t b = m; b < end; ++b) buf[b >> 3] |= static_cast<uint8_t>(0x80u >> (b & 7));
    }
  }
  return 1;
}
