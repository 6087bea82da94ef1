// Resampling: point sampling when growing, area sampling when shrinking, with the design's
// worked examples, the tone settings in 8 and 24 bits, and uniform images through every scale.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

using qev_test::Image;

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

TEST(InvoicResampleImg2, ToneSettingsInBothDepths) {
  CBmpProcessing p;
  Image src(2, 1, 24), dst(2, 1, 24);
  src.Set(0, 0, 250);
  src.SetBGR(1, 0, 255, 255, 249);
  tagColorCFG levels{};
  levels.sLevels = 150;  // identity table 0: only the near-white rule shows
  ASSERT_EQ(Resample(p, src, dst, levels), 1);
  EXPECT_EQ(dst.At(0, 0), 255);
  EXPECT_EQ(dst.Px(1, 0)[2], 249);
  levels.sLevels = 300;
  ASSERT_EQ(Resample(p, src, dst, levels), 1);
  EXPECT_EQ(dst.At(0, 0), 250);

  // Gamma 2 in table 0 and Light (contrast keeps 128) act on every output pixel; 8-bit gray
  // passes through the weighted sum unchanged.
  COLORLEVELSITEM item;
  item.gamma = 2.0f;
  p.SetColorLevelsData(&item, 0);
  p.SetLightTable(0, 100);
  Image g(2, 2, 8, 128), g4(4, 4, 8);
  tagColorCFG both{};
  both.sContrast = 100;
  both.sLevels = 200;
  ASSERT_EQ(Resample(p, g, g4, both), 1);
  EXPECT_EQ(g4.At(3, 3), 64);
  both.sContrast = 0;
  ASSERT_EQ(Resample(p, g, g4, both), 1);
  EXPECT_EQ(g4.At(0, 0), 64);
}

TEST(InvoicResampleImg2, EmptyOrUndersizedDestinationsAreNotWritten) {
  CBmpProcessing p;
  Image src(4, 4, 24, 50), dst(2, 2, 24, 9);
  uint8_t* out = dst.bits.data();
  const uint32_t sizes[][3] = {{2, 0, 16}, {0, 2, 16}, {2, 2, 8}};  // width, height, size
  for (const auto& s : sizes)
    EXPECT_EQ(p.InvoicResampleImg2(4, 4, 24, src.stride, src.bits.data(), s[0], s[1], 24, &out,
                                   s[2], tagColorCFG{}, 0, tagRECT{}),
              1);
  EXPECT_EQ(dst.bits, std::vector<uint8_t>(dst.bits.size(), 9));
}

// Growth copies a uniform value exactly; area averaging of a uniform value may lose 1 to the
// single-precision sums (the design's 254-for-white case), never more.
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

}  // namespace
