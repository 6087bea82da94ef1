// The imaging operations driven by bytes: each reads its sizes, settings and pixels from a
// Reader and reports every result to the reader's sink. The fuzz target runs them on arbitrary
// input; the imaging digest test runs them on fixed pseudo-random input and hashes the results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/gdi_types.h"

namespace quorvel::fuzz {

// Parameters from the front of the input (zeros once it is used up); results to the sink.
// Every read sits in its own statement or braced list: a digest depends on their order.
class Reader {
 public:
  using Sink = std::function<void(const uint8_t*, size_t)>;
  Reader(const uint8_t* data, size_t size, Sink sink)
      : data_(data), size_(size), sink_(std::move(sink)) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() {
    const uint8_t low = Byte();
    return uint16_t(low | Byte() << 8);
  }
  uint32_t Below(uint32_t n) { return n ? U16() % n : 0; }
  int32_t Range(int32_t lo, int32_t hi) { return lo + int32_t(Below(uint32_t(hi - lo + 1))); }
  bool Flag() { return Byte() & 1; }
  uint32_t Depth() { return std::vector<uint32_t>{8, 24, 24, 8, 1, 32, 0, 16}[Byte() & 7]; }
  tagRECT Rect(int32_t w, int32_t h) {
    return tagRECT{Range(-8, w + 8), Range(-8, h + 8), Range(-8, w + 8), Range(-8, h + 8)};
  }
  // Exactly max(n, 1) bytes (a sanitizer sees the end) from the rest of the input, shaped.
  std::vector<uint8_t> Pixels(size_t n);
  void Out(const void* p, size_t n) {
    if (p && n) sink_(static_cast<const uint8_t*>(p), n);
  }
  void Out(int64_t v) { Out(&v, sizeof v); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  Sink sink_;
};

// Output format, rotate, dashes, thresholds, dither, shrink, resample, samplers, threshold map
// resize, tone tables, kernels: operation op % kImagingOps.
constexpr int kImagingOps = 11;
void RunImagingOp(int op, Reader& r);

}  // namespace quorvel::fuzz
