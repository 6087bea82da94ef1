// Arithmetic every layer shares: the padded row stride of an image buffer and millimetres
// to printer dots. One definition each, so the rounding cannot drift between callers.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>

// Bytes per image row: width x bits per pixel, padded to a multiple of 4 bytes.
constexpr int64_t RowStride(int64_t width, int64_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}

// Millimetres to printer dots before truncation: mm x 1000 x dpi / 25400 + 0.5 in double.
inline double DotsBeforeTruncation(double mm, int dpi) { return mm * 1000.0 * dpi / 25400.0 + 0.5; }

// Millimetres to printer dots, truncated toward zero and held inside the int range (a cast
// of an out-of-range double would be undefined).
inline int DotsFromMm(double mm, int dpi) {
  const double value = DotsBeforeTruncation(mm, dpi);
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}
