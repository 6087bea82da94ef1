// Resampling and sampling: the worked examples, and uniform images staying uniform through
// every scale and every point sampler.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

using quorvel::test::imaging::Image;

int Resample(CBmpProcessing& p, Image& src, Image& dst, tagColorCFG cfg = tagColorCFG{}) {
  uint8_t* out = dst.bits.data();
  return p.InvoicResampleImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), dst.w, dst.h,
                              dst.bpp, &out, static_cast<uint32_t>(dst.bits.size()), cfg, 0,
                              tagRECT{0, 0, 0, 0});
}

TEST(InvoicResampleImg2, WorkedExamples) {
  CBmpProcessing p;
  const struct {
    Image src, dst;
    std::vector<uint8_t> expect;
  } cases[] = {{Image(2, 1, 8, {0, 100}), Image(4, 1, 8, 7), {0, 0, 100, 100}},  // growth
               {Image(3, 1, 24, {0, 90, 180}), Image(2, 1, 24), {30, 150}},      // overlap areas
               {Image(4, 4, 24, {0, 10, 20, 30, 0, 10, 20, 30, 0, 10, 20, 30, 0, 10, 20, 30}),
                Image(2, 2, 24),
                {5, 25, 5, 25}},                                           // box average
               {Image(2, 2, 8, {10, 20, 30, 41}), Image(1, 1, 8), {25}}};  // 101 / 4
  for (auto c : cases) {
    ASSERT_EQ(Resample(p, c.src, c.dst), 1);
    EXPECT_EQ(c.dst.Grays(), c.expect) << c.src.w << "x" << c.src.h << " -> " << c.dst.w;
  }
  Image src(3, 2, 24), same(3, 2, 24);  // equal size: a copy, with the near-white rule
  src.SetBGR(1, 1, 1, 2, 3);
  src.Set(2, 0, 251);
  ASSERT_EQ(Resample(p, src, same), 1);
  EXPECT_EQ(std::vector<uint8_t>(same.Px(1, 1), same.Px(1, 1) + 3),
            (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(same.At(2, 0), 255);
}

// Growth copies a uniform value exactly; area averaging of a uniform value may lose 1 to the
// single-precision sums (white can come out as 254), never more.
struct ResampleCase {
  uint32_t sw, sh, dw, dh, bpp;
  uint8_t value;
};

class UniformResample : public ::testing::TestWithParam<ResampleCase> {};

TEST_P(UniformResample, StaysUniform) {
  const ResampleCase c = GetParam();
  CBmpProcessing p;
  Image src(c.sw, c.sh, c.bpp, c.value), dst(c.dw, c.dh, c.bpp, 0);
  ASSERT_EQ(Resample(p, src, dst), 1);
  const int low = c.dw >= c.sw && c.dh >= c.sh ? c.value : c.value - 1;
  for (uint32_t y = 0; y < c.dh; ++y)
    for (uint32_t i = 0; i < c.dw * c.bpp / 8; ++i) {
      const int v = dst.bits[y * dst.stride + i];
      ASSERT_TRUE(v >= low && v <= c.value) << v << " at byte " << i << " of row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, UniformResample,
                         ::testing::Values(ResampleCase{2, 1, 4, 1, 8, 100},
                                           ResampleCase{10, 7, 33, 21, 24, 77},
                                           ResampleCase{300, 200, 203, 135, 24, 255},
                                           ResampleCase{600, 90, 203, 30, 8, 128},
                                           ResampleCase{50, 10, 20, 40, 24, 200},
                                           ResampleCase{9, 9, 1, 1, 8, 13}));

// Each point sampler reads a uniform image as its own value, inside and across the edge, when
// its weights sum to 1 (float rounding of the weights may lose 1).
class UniformSampling : public ::testing::TestWithParam<int> {};

TEST_P(UniformSampling, StaysUniformInsideAndAcrossTheEdge) {
  for (uint32_t bpp : {8u, 24u}) {
    Image img(20, 20, bpp, 137);
    CBmpProcessing p;
    img.Bind(p);
    for (float x : {0.0f, 0.3f, 4.5f, 9.75f, 18.9f, 19.0f, -0.4f, 20.3f})
      for (float y : {0.0f, 7.2f, 19.5f}) {
        const auto method = static_cast<CBmpProcessing::InterpolationMethod>(GetParam());
        const tagRGBQUAD c =
            p.GetPixelColorInterpolated(x, y, method, CBmpProcessing::OverflowClamp, nullptr);
        EXPECT_TRUE(c.rgbRed >= 136 && c.rgbRed <= 137 && c.rgbGreen == c.rgbRed &&
                    c.rgbBlue == c.rgbRed)
            << "bpp " << bpp << " at " << x << "," << y;
      }
  }
}

using P = CBmpProcessing;
INSTANTIATE_TEST_SUITE_P(Methods, UniformSampling,
                         ::testing::Values(P::InterpNearest, P::InterpBilinear, P::InterpBSpline,
                                           P::InterpCubic, P::InterpGeneralizedCubic, P::InterpBox,
                                           P::InterpHermite, P::InterpQuadratic, P::InterpMitchell,
                                           P::InterpCatrom));

}  // namespace
