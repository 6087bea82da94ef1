// Properties every method of an operation family keeps, whatever its arithmetic: white stays
// white and black stays black through every halftone, negative swaps the two, dot density
// follows the gray level, and a uniform page stays uniform through every scale and sampler.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "base/dots.h"
#include "imaging/adaptive_threshold.h"
#include "imaging/auto_halftone.h"
#include "imaging/bmp_processing.h"

namespace {

using P = CBmpProcessing;
constexpr int kAuto = 11;  // halftone method Auto, which has its own entry point

struct Page {
  uint32_t w, h, bpp, stride;
  std::vector<uint8_t> bits;
  Page(uint32_t w_, uint32_t h_, uint32_t bpp_, uint8_t v)
      : w(w_), h(h_), bpp(bpp_), stride(uint32_t(RowStride(w_, bpp_))), bits(stride * h_, v) {}
  uint8_t& At(uint32_t x, uint32_t y) { return bits[size_t{y} * stride + x * bpp / 8]; }
  std::vector<uint8_t> Dither(int method, bool negative = false) {
    std::vector<uint8_t> src = bits, dst(bits.size(), 77);
    EXPECT_EQ(method == kAuto
                  ? AutoHalftone(src.data(), dst.data(), h, w, stride, 24, negative)
                  : P().Dither(method, src.data(), dst.data(), h, w, stride, 0, negative),
              1);
    return dst;
  }
};

class DitherMethod : public ::testing::TestWithParam<int> {};

TEST_P(DitherMethod, UniformPagesNegativeAndDotDensity) {
  const int method = GetParam();
  for (uint8_t v : {uint8_t{255}, uint8_t{0}}) {
    Page page(83, 37, 8, v);
    const std::vector<uint8_t> out = page.Dither(method);
    for (uint32_t y = 0; y < page.h; ++y)
      for (uint32_t x = 0; x < page.w; ++x) ASSERT_EQ(out[y * page.stride + x], v) << x;
  }
  Page ramp(70, 50, 8, 0);
  for (uint32_t y = 0; y < 50; ++y)
    for (uint32_t x = 0; x < 70; ++x) ramp.At(x, y) = uint8_t((x * 5 + y * 3) % 256);
  const std::vector<uint8_t> plain = ramp.Dither(method), negative = ramp.Dither(method, true);
  for (uint32_t y = 0; y < 50; ++y)
    for (uint32_t x = 0; x < 70; ++x) {
      const size_t i = y * ramp.stride + x;
      ASSERT_TRUE(plain[i] == 0 || plain[i] == 255);
      ASSERT_EQ(negative[i], 255 - plain[i]) << x << "," << y;
    }
  if (method == 1 || method == 4) return;  // thresholds: a uniform gray is all one value
  // Method 7's matrix has 15 levels without 2, so its steps lag by about a level; method 3's
  // matrix is a little dark in the highlights; method 6 truncates every error share, so
  // light and dark grays lose their few dots. Auto diffuses away from edges, closely.
  const double tolerance = method == 7 ? 0.12 : method == 3 ? 0.04 : method == kAuto ? 0.005 : 0.03;
  const int from = method == 6 ? 48 : 16, to = method == 6 ? 208 : 240;
  double previous = 1.0;
  for (int v = 16; v <= 240; v += 16) {
    Page gray(240, 240, 8, uint8_t(v));
    const std::vector<uint8_t> out = gray.Dither(method);
    size_t black = 0;
    for (uint32_t y = 0; y < gray.h; ++y)
      for (uint32_t x = 0; x < gray.w; ++x) black += out[y * gray.stride + x] == 0;
    const double share = double(black) / (gray.w * gray.h);
    if (v >= from && v <= to) {
      EXPECT_NEAR(share, (255.0 - v) / 255.0, tolerance) << v;
    }
    EXPECT_LE(share, previous + 1e-9) << "level " << v;
    previous = share;
  }
}

INSTANTIATE_TEST_SUITE_P(AllMethods, DitherMethod, ::testing::Range(1, kAuto + 1));

// Area shrink: every source pixel lands in exactly one destination pixel, so a uniform page
// stays exactly uniform. Resampling copies on growth and may lose 1 to its single-precision
// area sums on shrinking (white can come out as 254), never more.
struct ScaleCase {
  uint32_t sw, sh, dw, dh, bpp;
};

class UniformScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(UniformScale, StaysUniform) {
  const ScaleCase c = GetParam();
  for (bool shrink : {true, false}) {
    if (shrink && (c.dw > c.sw || c.dh > c.sh)) continue;
    const uint8_t v = c.sw % 2 ? 255 : 123;
    Page src(c.sw, c.sh, c.bpp, v), dst(c.dw, c.dh, c.bpp, 0);
    uint8_t* out = dst.bits.data();
    const auto size = uint32_t(dst.bits.size());
    ASSERT_EQ(shrink ? P().InvoicQIShrinkImg2(c.sw, c.sh, c.bpp, src.stride, src.bits.data(),
                                              nullptr, c.dw, c.dh, c.bpp, &out, nullptr, size,
                                              tagColorCFG{}, tagColorCFG{}, tagRECT{})
                     : P().InvoicResampleImg2(c.sw, c.sh, c.bpp, src.stride, src.bits.data(), c.dw,
                                              c.dh, c.bpp, &out, size, tagColorCFG{}, 0, tagRECT{}),
              1);
    const int low = shrink || (c.dw >= c.sw && c.dh >= c.sh) ? v : v - 1;
    for (uint32_t y = 0; y < c.dh; ++y)
      for (uint32_t i = 0; i < c.dw * c.bpp / 8; ++i) {
        const int got = dst.bits[y * dst.stride + i];
        ASSERT_TRUE(got >= low && got <= v) << got << " at byte " << i << " of row " << y;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, UniformScale,
                         ::testing::Values(ScaleCase{10, 10, 5, 5, 8}, ScaleCase{2, 1, 4, 1, 8},
                                           ScaleCase{600, 900, 203, 304, 24},
                                           ScaleCase{10, 7, 33, 21, 24}, ScaleCase{7, 3, 7, 3, 24},
                                           ScaleCase{301, 200, 203, 135, 24},
                                           ScaleCase{97, 61, 13, 60, 8}, ScaleCase{9, 9, 1, 1, 8},
                                           ScaleCase{300, 2, 203, 1, 8}));

// Each point sampler whose weights sum to 1 reads a uniform page as its own value, inside
// and across the edge (float rounding of the weights may lose 1).
class UniformSampling : public ::testing::TestWithParam<int> {};

TEST_P(UniformSampling, StaysUniformInsideAndAcrossTheEdge) {
  for (uint32_t bpp : {8u, 24u}) {
    Page page(20, 20, bpp, 137);
    P p;
    p.srcHeader = tagBITMAPINFOHEADER{40, 20, 20, 1, uint16_t(bpp), 0, 0, 0, 0, 0, 0};
    p.srcStride = page.stride;
    p.srcBits = page.bits.data();
    for (float x : {0.0f, 0.3f, 4.5f, 9.75f, 18.9f, 19.0f, -0.4f, 20.3f})
      for (float y : {0.0f, 7.2f, 19.5f}) {
        const tagRGBQUAD c = p.GetPixelColorInterpolated(x, y, P::InterpolationMethod(GetParam()),
                                                         P::OverflowClamp, nullptr);
        EXPECT_TRUE(c.rgbRed >= 136 && c.rgbRed <= 137 && c.rgbGreen == c.rgbRed &&
                    c.rgbBlue == c.rgbRed)
            << "bpp " << bpp << " at " << x << "," << y;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, UniformSampling,
                         ::testing::Values(P::InterpNearest, P::InterpBilinear, P::InterpBSpline,
                                           P::InterpCubic, P::InterpGeneralizedCubic, P::InterpBox,
                                           P::InterpHermite, P::InterpQuadratic, P::InterpMitchell,
                                           P::InterpCatrom));

// The adaptive threshold finds no ink on a uniform page, plain or negative.
TEST(AdaptiveThreshold, UniformPagesAreAllPaper) {
  for (int v : {0, 1, 128, 254, 255})
    for (bool negative : {false, true}) {
      const std::vector<uint8_t> flat(40 * 30, uint8_t(v));
      uint8_t* out = nullptr;
      int len = 0;
      ASSERT_EQ(AdaptiveThreshold(flat.data(), 40, 30, 40, &out, &len, negative, 0, 64, 0, 0.5f),
                1);
      EXPECT_EQ(std::vector<uint8_t>(out, out + len),
                std::vector<uint8_t>(1200, negative ? 0 : 255))
          << v;
      std::free(out);
    }
}

}  // namespace
