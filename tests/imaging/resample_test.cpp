// Resampling: point sampling when growing, area sampling when shrinking, with the design's
// worked examples, the tone settings in 8 and 24 bits, and uniform images through every scale.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

uint32_t Stride(uint32_t w, uint32_t bpp) { return ((w * bpp + 31) / 32) * 4; }

struct Image {
  uint32_t w, h, bpp, stride;
  std::vector<uint8_t> bits;
  Image(uint32_t w_, uint32_t h_, uint32_t bpp_, uint8_t fill = 0)
      : w(w_), h(h_), bpp(bpp_), stride(Stride(w_, bpp_)), bits(stride * h_, fill) {}
  uint8_t* Px(uint32_t x, uint32_t y) { return bits.data() + y * stride + x * (bpp / 8); }
  void Set(uint32_t x, uint32_t y, uint8_t v) {
    for (uint32_t c = 0; c < bpp / 8; ++c) Px(x, y)[c] = v;
  }
  uint8_t At(uint32_t x, uint32_t y) { return *Px(x, y); }
};

int Resample(CBmpProcessing& p, Image& src, Image& dst, tagColorCFG cfg = tagColorCFG{}) {
  uint8_t* out = dst.bits.data();
  return p.InvoicResampleImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), dst.w, dst.h,
                              dst.bpp, &out, static_cast<uint32_t>(dst.bits.size()), cfg, 0,
                              tagRECT{0, 0, 0, 0});
}

}  // namespace

TEST(InvoicResampleImg2, WorkedExamples) {
  CBmpProcessing p;
  Image two(2, 1, 8);
  two.Set(1, 0, 100);
  Image four(4, 1, 8, 7);
  ASSERT_EQ(Resample(p, two, four), 1);
  EXPECT_EQ(four.bits[0], 0);
  EXPECT_EQ(four.bits[1], 0);
  EXPECT_EQ(four.bits[2], 100);
  EXPECT_EQ(four.bits[3], 100);
  // The sampling source is left describing the image.
  EXPECT_EQ(p.srcHeader.biWidth, 2);
  EXPECT_EQ(p.srcHeader.biSizeImage, 4u);
  EXPECT_EQ(p.srcBits, two.bits.data());

  Image three(3, 1, 24);
  three.Set(1, 0, 90);
  three.Set(2, 0, 180);
  Image out2(2, 1, 24);
  ASSERT_EQ(Resample(p, three, out2), 1);
  EXPECT_EQ(out2.At(0, 0), 30);
  EXPECT_EQ(out2.At(1, 0), 150);

  Image cols(4, 4, 24);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 4; ++x) cols.Set(x, y, static_cast<uint8_t>(10 * x));
  Image half(2, 2, 24);
  ASSERT_EQ(Resample(p, cols, half), 1);
  for (uint32_t y = 0; y < 2; ++y) {
    EXPECT_EQ(half.At(0, y), 5);
    EXPECT_EQ(half.At(1, y), 25);
  }

  Image quad(2, 2, 8);
  quad.Set(0, 0, 10);
  quad.Set(1, 0, 20);
  quad.Set(0, 1, 30);
  quad.Set(1, 1, 41);
  Image one(1, 1, 8);
  ASSERT_EQ(Resample(p, quad, one), 1);
  EXPECT_EQ(one.At(0, 0), 25);  // 101 / 4, truncated
}

TEST(InvoicResampleImg2, EqualSizeCopiesWithTheNearWhiteRule) {
  CBmpProcessing p;
  Image src(3, 2, 24);
  uint8_t* px = src.Px(1, 1);
  px[0] = 1;
  px[1] = 2;
  px[2] = 3;
  src.Set(2, 0, 251);
  Image dst(3, 2, 24);
  ASSERT_EQ(Resample(p, src, dst), 1);
  EXPECT_EQ(dst.Px(1, 1)[0], 1);  // blue, green, red order kept
  EXPECT_EQ(dst.Px(1, 1)[1], 2);
  EXPECT_EQ(dst.Px(1, 1)[2], 3);
  EXPECT_EQ(dst.At(2, 0), 255);
}

TEST(InvoicResampleImg2, ToneSettingsInBothDepths) {
  CBmpProcessing p;
  tagColorCFG levels{};
  levels.sLevels = 150;  // identity table 0: only the near-white rule shows
  Image src(2, 1, 24);
  src.Set(0, 0, 250);
  uint8_t* px = src.Px(1, 0);
  px[0] = 255;
  px[1] = 255;
  px[2] = 249;
  Image dst(2, 1, 24);
  ASSERT_EQ(Resample(p, src, dst, levels), 1);
  EXPECT_EQ(dst.At(0, 0), 255);
  EXPECT_EQ(dst.Px(1, 0)[2], 249);
  levels.sLevels = 300;
  ASSERT_EQ(Resample(p, src, dst, levels), 1);
  EXPECT_EQ(dst.At(0, 0), 250);

  // A gamma curve in table 0 and Light both act on every output pixel; 8-bit gray passes
  // through the weighted sum unchanged.
  COLORLEVELSITEM item;
  item.gamma = 2.0f;
  p.SetColorLevelsData(&item, 0);
  p.SetLightTable(0, 100);
  Image g(2, 2, 8, 128);
  Image g4(4, 4, 8);
  tagColorCFG both{};
  both.sContrast = 100;
  both.sLevels = 200;
  ASSERT_EQ(Resample(p, g, g4, both), 1);
  EXPECT_EQ(g4.At(3, 3), p.levelsTables[0][p.lightTable[128]]);
  EXPECT_EQ(g4.At(3, 3), 64);  // contrast keeps 128; gamma 2 maps 128 to 64
  both.sContrast = 0;
  ASSERT_EQ(Resample(p, g, g4, both), 1);
  EXPECT_EQ(g4.At(0, 0), 64);
}

TEST(InvoicResampleImg2, EmptyOrUndersizedDestinationsAreNotWritten) {
  CBmpProcessing p;
  Image src(4, 4, 24, 50);
  Image dst(2, 2, 24, 9);
  uint8_t* out = dst.bits.data();
  EXPECT_EQ(p.InvoicResampleImg2(4, 4, 24, src.stride, src.bits.data(), 2, 0, 24, &out, 16,
                                 tagColorCFG{}, 0, tagRECT{}),
            1);
  EXPECT_EQ(p.InvoicResampleImg2(4, 4, 24, src.stride, src.bits.data(), 0, 2, 24, &out, 16,
                                 tagColorCFG{}, 0, tagRECT{}),
            1);
  EXPECT_EQ(p.InvoicResampleImg2(4, 4, 24, src.stride, src.bits.data(), 2, 2, 24, &out, 8,
                                 tagColorCFG{}, 0, tagRECT{}),
            1);
  EXPECT_EQ(dst.At(0, 0), 9);
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
  Image src(c.sw, c.sh, c.bpp, c.value);
  Image dst(c.dw, c.dh, c.bpp, 0);
  ASSERT_EQ(Resample(p, src, dst), 1);
  const bool grows = c.dw >= c.sw && c.dh >= c.sh;
  for (uint32_t y = 0; y < c.dh; ++y) {
    for (uint32_t x = 0; x < c.dw; ++x) {
      for (uint32_t ch = 0; ch < c.bpp / 8; ++ch) {
        const int v = dst.Px(x, y)[ch];
        ASSERT_LE(v, c.value);
        ASSERT_GE(v, grows ? c.value : c.value - 1) << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, UniformResample,
                         ::testing::Values(ResampleCase{2, 1, 4, 1, 8, 100},
                                           ResampleCase{10, 7, 33, 21, 24, 77},
                                           ResampleCase{300, 200, 203, 135, 24, 255},
                                           ResampleCase{600, 90, 203, 30, 8, 128},
                                           ResampleCase{50, 10, 20, 40, 24, 200},
                                           ResampleCase{9, 9, 1, 1, 8, 13}));
