// Inline pixel fetch on the sampling source, shared by the samplers so that the per-pixel
// path of the resampler has no call overhead. Internal to imaging/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/bmp_processing.h"

namespace quorvel::sampling {

constexpr tagRGBQUAD kWhite = {255, 255, 255, 0};

// Truncation toward zero that saturates instead of overflowing (NaN reads as far left).
inline int TruncSat(float v) {
  if (v >= 1.0e9f) return 1000000000;
  if (v > -1.0e9f) return static_cast<int>(v);
  return -1000000000;
}

// Index of the cell holding v: truncation toward zero, one less for a negative v.
inline int CellIndex(float v) {
  const int i = TruncSat(v);
  return v < 0.0f ? i - 1 : i;
}

// Pixels whose channels are all at least 251 read as pure white.
inline void NearWhite(tagRGBQUAD& c) {
  if (c.rgbBlue >= 251 && c.rgbGreen >= 251 && c.rgbRed >= 251) {
    c.rgbBlue = c.rgbGreen = c.rgbRed = 255;
  }
}

// Reads pixel (x, y), known to be inside the image, with the near-white rule applied.
inline tagRGBQUAD ReadPixel(const CBmpProcessing& p, int x, int y) {
  const uint8_t* row = p.srcBits + static_cast<size_t>(y) * p.srcStride;
  tagRGBQUAD c = kWhite;  // depths other than 24 and 8 have nothing to read
  if (p.srcHeader.biBitCount == 24) {
    const uint8_t* px = row + 3 * static_cast<size_t>(x);
    c.rgbBlue = px[0];
    c.rgbGreen = px[1];
    c.rgbRed = px[2];
  } else if (p.srcHeader.biBitCount == 8) {
    c.rgbBlue = c.rgbGreen = c.rgbRed = row[x];
  }
  NearWhite(c);
  return c;
}

// Maps one coordinate for the wrap, clamp and mirror methods; n > 0.
inline int MapAxis(int v, int n, int method) {
  if (v >= 0 && v < n) return v;
  switch (method) {
    case CBmpProcessing::OverflowClamp:
      return v < 0 ? 0 : n - 1;
    case CBmpProcessing::OverflowWrap: {
      const int r = v % n;
      return r < 0 ? r + n : r;
    }
    case CBmpProcessing::OverflowMirror:
      // 64-bit so that the most negative int cannot overflow when negated.
      if (v < 0) return static_cast<int>((-static_cast<int64_t>(v)) % n);
      return n - (v % n) - 1;
    default:
      return v;
  }
}

inline tagRGBQUAD Fetch(const CBmpProcessing& p, int x, int y,
                        CBmpProcessing::OverflowMethod method, const tagRGBQUAD* replacement) {
  const tagRGBQUAD repl = replacement ? *replacement : kWhite;
  const int w = p.srcHeader.biWidth;
  const int h = p.srcHeader.biHeight;
  if (p.srcBits == nullptr || w <= 0 || h <= 0) return repl;
  if (x >= 0 && x < w && y >= 0 && y < h) return ReadPixel(p, x, y);
  switch (method) {
    case CBmpProcessing::OverflowWhite:
    case CBmpProcessing::OverflowBlank:
      return {255, 255, 255, repl.rgbReserved};
    case CBmpProcessing::OverflowWrap:
    case CBmpProcessing::OverflowClamp:
    case CBmpProcessing::OverflowMirror:
      return ReadPixel(p, MapAxis(x, w, method), MapAxis(y, h, method));
    default:
      return repl;
  }
}

}  // namespace quorvel::sampling
