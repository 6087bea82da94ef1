// Area shrink: the column and row split rules (strict for columns, inclusive for rows), tone
// settings on the way out, empty-column reuse, the protected rectangle and the second image.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

using qev_test::Image;

const tagColorCFG kNoTone{};
const tagRECT kNoRect{0, 0, 0, 0};

int Shrink(CBmpProcessing& p, Image& src, Image& dst, tagColorCFG cfg = kNoTone,
           tagRECT rect = kNoRect) {
  uint8_t* out = dst.bits.data();
  return p.InvoicQIShrinkImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), nullptr, dst.w,
                              dst.h, dst.bpp, &out, nullptr, static_cast<uint32_t>(dst.bits.size()),
                              cfg, kNoTone, rect);
}

tagColorCFG Tone(int16_t brightness, int16_t contrast, int16_t levels) {
  tagColorCFG cfg{};
  cfg.sBrightness = brightness;
  cfg.sContrast = contrast;
  cfg.sLevels = levels;
  return cfg;
}

TEST(InvoicQIShrinkImg2, ColumnsCloseStrictlyRowsInclusively) {
  CBmpProcessing p;
  Image src(10, 10, 8), dst(5, 5, 8);
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 10; ++x) src.Set(x, y, static_cast<uint8_t>(10 * x + y));
  ASSERT_EQ(Shrink(p, src, dst), 1);
  // Columns 0-2, 3-4, 5-6, 7-8, 9; rows 0-1, 2-3, ..., 8-9 (row means .5, truncated).
  const int colMean[5] = {10, 35, 55, 75, 90};
  for (uint32_t r = 0; r < 5; ++r)
    for (uint32_t k = 0; k < 5; ++k) EXPECT_EQ(dst.At(k, r), colMean[k] + 2 * r) << k << "," << r;

  Image three(3, 1, 24, {10, 31, 200}), two(2, 1, 24);
  ASSERT_EQ(Shrink(p, three, two), 1);
  EXPECT_EQ(two.Grays(), (std::vector<uint8_t>{20, 200}));  // (10 + 31) / 2, then column 2
}

TEST(InvoicQIShrinkImg2, DepthConversionAndToneSettings) {
  CBmpProcessing p;
  Image src(4, 2, 24), gray(2, 1, 8);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 4; ++x) src.SetBGR(x, y, 30, 100, 200);
  ASSERT_EQ(Shrink(p, src, gray), 1);
  EXPECT_EQ(gray.At(0, 0), (11 * 200 + 16 * 100 + 5 * 30) >> 5);

  // An average of 250: tone table 0 (identity) with its near-white rule only when sLevels is
  // neither 0 nor 300.
  Image g250(2, 2, 8, 250), out(1, 1, 8);
  const std::pair<int16_t, int> levels[] = {{0, 250}, {100, 255}, {300, 250}};
  for (const auto& l : levels) {
    ASSERT_EQ(Shrink(p, g250, out, Tone(0, 0, l.first)), 1);
    EXPECT_EQ(out.At(0, 0), l.second) << l.first;
  }
  // Brightness goes through Light (table filled by the caller), only when asked for.
  p.SetLightTable(50, 0);
  Image g100(2, 2, 8, 100);
  ASSERT_EQ(Shrink(p, g100, out, Tone(50, 0, 0)), 1);
  EXPECT_EQ(out.At(0, 0), 150);
  ASSERT_EQ(Shrink(p, g100, out), 1);
  EXPECT_EQ(out.At(0, 0), 100);
}

TEST(InvoicQIShrinkImg2, EmptyColumnsReuseTheLastWrittenValues) {
  CBmpProcessing p;
  Image src(2, 1, 8, {10, 20}), dst(4, 1, 8, 9);
  ASSERT_EQ(Shrink(p, src, dst), 1);
  EXPECT_EQ(dst.bits, (std::vector<uint8_t>{10, 20, 20, 20}));
  // The reused values went through Light already and go through it again.
  p.SetLightTable(50, 0);
  ASSERT_EQ(Shrink(p, src, dst, Tone(50, 0, 0)), 1);
  EXPECT_EQ(dst.bits, (std::vector<uint8_t>{60, 70, 120, 170}));
}

TEST(InvoicQIShrinkImg2, ProtectedRectangleIsWhitenedThenCopiedUnscaled) {
  CBmpProcessing p;
  Image src(20, 10, 8), dst(10, 5, 8, 77);
  for (uint32_t y = 2; y <= 3; ++y)
    for (uint32_t x = 2; x <= 5; ++x) src.Set(x, y, static_cast<uint8_t>(x + 10 * y));
  ASSERT_EQ(Shrink(p, src, dst, kNoTone, tagRECT{2, 2, 5, 3}), 1);
  for (uint32_t r = 0; r < 5; ++r)
    for (uint32_t k = 0; k < 10; ++k) {
      const bool copied = k >= 1 && k <= 4 && r >= 1 && r <= 2;
      // Destination column 0 averages source columns 0..2, of which column 2 counts as white.
      const int averaged = (k == 0 && r == 1) ? 2 * 255 / 6 : 0;
      EXPECT_EQ(dst.At(k, r), copied ? static_cast<int>((k + 1) + 10 * (r + 1)) : averaged)
          << "column " << k << " row " << r;
    }

  // A rectangle that fails the counting test protects nothing.
  Image dst3(10, 5, 8, 77);
  ASSERT_EQ(Shrink(p, src, dst3, kNoTone, tagRECT{5, 2, 2, 3}), 1);
  EXPECT_EQ(dst3.At(1, 1), (3 + 20 + 4 + 20 + 3 + 30 + 4 + 30) / 4);  // source columns 3-4
}

TEST(InvoicQIShrinkImg2, RefusesMissingBuffersAndUndersizedRows) {
  CBmpProcessing p;
  Image src(4, 4, 8, 3), dst(2, 2, 8, 9);
  uint8_t* out = dst.bits.data();
  uint8_t* none = nullptr;
  auto shrink = [&](const uint8_t* s, uint8_t** d, uint32_t dstBits) {
    return p.InvoicQIShrinkImg2(4, 4, 8, 4, s, nullptr, 2, 2, dstBits, d, nullptr, 8, kNoTone,
                                kNoTone, kNoRect);
  };
  EXPECT_EQ(shrink(nullptr, &out, 8), 0);
  EXPECT_EQ(shrink(src.bits.data(), nullptr, 8), 0);
  EXPECT_EQ(shrink(src.bits.data(), &none, 8), 0);
  EXPECT_EQ(shrink(src.bits.data(), &out, 24), 0);  // 24-bit rows would overrun 8 bytes
  EXPECT_EQ(dst.bits, std::vector<uint8_t>(8, 9));
}

// Every source pixel lands in exactly one destination pixel, so a uniform image stays exactly
// uniform at every size and depth.
struct ShrinkCase {
  uint32_t sw, sh, dw, dh, bpp;
};

class UniformShrink : public ::testing::TestWithParam<ShrinkCase> {};

TEST_P(UniformShrink, StaysUniform) {
  const ShrinkCase c = GetParam();
  CBmpProcessing p;
  Image src(c.sw, c.sh, c.bpp, 123), dst(c.dw, c.dh, c.bpp, 0);
  ASSERT_EQ(Shrink(p, src, dst), 1);
  for (uint32_t y = 0; y < c.dh; ++y)
    for (uint32_t i = 0; i < c.dw * c.bpp / 8; ++i) ASSERT_EQ(dst.bits[y * dst.stride + i], 123);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UniformShrink,
    ::testing::Values(ShrinkCase{10, 10, 5, 5, 8}, ShrinkCase{600, 900, 203, 304, 24},
                      ShrinkCase{7, 3, 7, 3, 24}, ShrinkCase{97, 61, 13, 60, 8},
                      ShrinkCase{5, 5, 1, 1, 24}, ShrinkCase{300, 2, 203, 1, 8}));

}  // namespace
