// Test images of the imaging tests: 8- or 24-bit pixels in rows padded to 4 bytes, and an
// owner for the buffers that operations hand over through malloc.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "base/dots.h"
#include "imaging/bmp_processing.h"

namespace quorvel::test::imaging {

inline uint32_t Stride(uint32_t w, uint32_t bpp) {
  return static_cast<uint32_t>(RowStride(w, bpp));
}

struct Image {
  uint32_t w, h, bpp, stride;
  std::vector<uint8_t> bits;
  Image(uint32_t w_, uint32_t h_, uint32_t bpp_, uint8_t fill = 0)
      : w(w_), h(h_), bpp(bpp_), stride(Stride(w_, bpp_)), bits(size_t{stride} * h_, fill) {}
  // Pixels listed row by row, every channel alike.
  Image(uint32_t w_, uint32_t h_, uint32_t bpp_, std::initializer_list<uint8_t> pixels)
      : Image(w_, h_, bpp_) {
    uint32_t i = 0;
    for (uint8_t v : pixels) {
      Set(i % w, i / w, v);
      ++i;
    }
  }
  // The first channel of every pixel, row by row.
  std::vector<uint8_t> Grays() {
    std::vector<uint8_t> v;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) v.push_back(At(x, y));
    return v;
  }
  uint8_t* Px(uint32_t x, uint32_t y) { return bits.data() + size_t{y} * stride + x * (bpp / 8); }
  uint8_t At(uint32_t x, uint32_t y) { return *Px(x, y); }
  void Set(uint32_t x, uint32_t y, uint8_t v) { SetBGR(x, y, v, v, v); }
  void SetBGR(uint32_t x, uint32_t y, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* p = Px(x, y);
    p[0] = b;
    if (bpp == 24) {
      p[1] = g;
      p[2] = r;
    }
  }
  // Makes this image the sampling source of p (borrowed, as the resampler does).
  void Bind(CBmpProcessing& p) {
    p.srcHeader = tagBITMAPINFOHEADER{};
    p.srcHeader.biWidth = static_cast<int32_t>(w);
    p.srcHeader.biHeight = static_cast<int32_t>(h);
    p.srcHeader.biBitCount = static_cast<uint16_t>(bpp);
    p.srcHeader.biSizeImage = stride * h;
    p.srcStride = stride;
    p.srcBits = bits.data();
  }
};

// A buffer handed over by the code under test, released with free.
struct Owned {
  uint8_t* p = nullptr;
  Owned() = default;
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { std::free(p); }
};

}  // namespace quorvel::test::imaging
