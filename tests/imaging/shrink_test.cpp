// Area shrink: the column and row split rules (strict for columns, inclusive for rows), tone
// settings on the way out, empty-column reuse, the protected rectangle and the second image.
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

const tagColorCFG kNoTone{};
const tagRECT kNoRect{0, 0, 0, 0};

int Shrink(CBmpProcessing& p, Image& src, Image& dst, tagColorCFG cfg = kNoTone,
           tagRECT rect = kNoRect) {
  uint8_t* out = dst.bits.data();
  return p.InvoicQIShrinkImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), nullptr, dst.w,
                              dst.h, dst.bpp, &out, nullptr, static_cast<uint32_t>(dst.bits.size()),
                              cfg, kNoTone, rect);
}

}  // namespace

TEST(InvoicQIShrinkImg2, ColumnsCloseStrictlyRowsInclusively) {
  CBmpProcessing p;
  Image src(10, 10, 8);
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 10; ++x) src.Set(x, y, static_cast<uint8_t>(10 * x + y));
  Image dst(5, 5, 8);
  ASSERT_EQ(Shrink(p, src, dst), 1);
  // Columns: 0-2, 3-4, 5-6, 7-8, 9. Rows: 0-1, 2-3, ..., 8-9 (row means .5, truncated).
  const int colMean[5] = {10, 35, 55, 75, 90};
  for (uint32_t r = 0; r < 5; ++r) {
    for (uint32_t k = 0; k < 5; ++k) {
      // Sum over the block of 10x + y divided by its count, truncated.
      EXPECT_EQ(dst.At(k, r), colMean[k] + 2 * r) << "column " << k << " row " << r;
    }
  }

  Image three(3, 1, 24);
  three.Set(0, 0, 10);
  three.Set(1, 0, 31);
  three.Set(2, 0, 200);
  Image two(2, 1, 24);
  ASSERT_EQ(Shrink(p, three, two), 1);
  EXPECT_EQ(two.At(0, 0), 20);  // (10 + 31) / 2
  EXPECT_EQ(two.At(1, 0), 200);
}

TEST(InvoicQIShrinkImg2, DepthConversionAndToneSettings) {
  CBmpProcessing p;
  Image src(4, 2, 24);
  for (uint32_t y = 0; y < 2; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      uint8_t* px = src.Px(x, y);
      px[0] = 30;   // blue
      px[1] = 100;  // green
      px[2] = 200;  // red
    }
  }
  Image gray(2, 1, 8);
  ASSERT_EQ(Shrink(p, src, gray), 1);
  EXPECT_EQ(gray.At(0, 0), (11 * 200 + 16 * 100 + 5 * 30) >> 5);

  Image g250(2, 2, 8, 250);
  Image out(1, 1, 8);
  ASSERT_EQ(Shrink(p, g250, out), 1);
  EXPECT_EQ(out.At(0, 0), 250);
  tagColorCFG levels{};
  levels.sLevels = 100;  // any value but 0 and 300 applies tone table 0 (identity here)
  ASSERT_EQ(Shrink(p, g250, out, levels), 1);
  EXPECT_EQ(out.At(0, 0), 255);
  levels.sLevels = 300;
  ASSERT_EQ(Shrink(p, g250, out, levels), 1);
  EXPECT_EQ(out.At(0, 0), 250);

  // Brightness goes through Light (table filled by the caller).
  p.SetLightTable(50, 0);
  tagColorCFG bright{};
  bright.sBrightness = 50;
  Image g100(2, 2, 8, 100);
  ASSERT_EQ(Shrink(p, g100, out, bright), 1);
  EXPECT_EQ(out.At(0, 0), 150);
  ASSERT_EQ(Shrink(p, g100, out), 1);  // no settings: Light is not applied
  EXPECT_EQ(out.At(0, 0), 100);
}

TEST(InvoicQIShrinkImg2, EmptyColumnsReuseTheLastWrittenValues) {
  CBmpProcessing p;
  Image src(2, 1, 8);
  src.Set(0, 0, 10);
  src.Set(1, 0, 20);
  Image dst(4, 1, 8, 9);
  ASSERT_EQ(Shrink(p, src, dst), 1);
  EXPECT_EQ(dst.At(0, 0), 10);
  EXPECT_EQ(dst.At(1, 0), 20);
  EXPECT_EQ(dst.At(2, 0), 20);
  EXPECT_EQ(dst.At(3, 0), 20);
  // The reused values went through Light already and go through it again.
  p.SetLightTable(50, 0);
  tagColorCFG bright{};
  bright.sBrightness = 50;
  ASSERT_EQ(Shrink(p, src, dst, bright), 1);
  EXPECT_EQ(dst.At(1, 0), 70);
  EXPECT_EQ(dst.At(2, 0), 120);
  EXPECT_EQ(dst.At(3, 0), 170);
}

TEST(InvoicQIShrinkImg2, ProtectedRectangleIsWhitenedThenCopiedUnscaled) {
  CBmpProcessing p;
  Image src(20, 10, 8);
  for (uint32_t y = 2; y <= 3; ++y)
    for (uint32_t x = 2; x <= 5; ++x) src.Set(x, y, static_cast<uint8_t>(x + 10 * y));
  Image dst(10, 5, 8, 77);
  ASSERT_EQ(Shrink(p, src, dst, kNoTone, tagRECT{2, 2, 5, 3}), 1);
  for (uint32_t r = 0; r < 5; ++r) {
    for (uint32_t k = 0; k < 10; ++k) {
      const bool copied = k >= 1 && k <= 4 && r >= 1 && r <= 2;
      // Destination column 0 averages source columns 0..2, of which column 2 counts as white.
      const int averaged = (k == 0 && r == 1) ? 2 * 255 / 6 : 0;
      const int expect = copied ? static_cast<int>((k + 1) + 10 * (r + 1)) : averaged;
      EXPECT_EQ(dst.At(k, r), expect) << "column " << k << " row " << r;
    }
  }

  // Rows above the image shift the copy down (row0 = trunc(-4 / 2) = -2), so the whitened
  // average of rows 0-1 stays visible: of source columns 0-2, 3-4, 5-6, columns 2..5 are white.
  Image dst2(10, 5, 8, 77);
  ASSERT_EQ(Shrink(p, src, dst2, kNoTone, tagRECT{2, -4, 5, 1}), 1);
  EXPECT_EQ(dst2.At(0, 0), 2 * 255 / 6);
  EXPECT_EQ(dst2.At(1, 0), 255);
  EXPECT_EQ(dst2.At(2, 0), 255 / 2);
  EXPECT_EQ(dst2.At(3, 0), 0);
  EXPECT_EQ(dst2.At(1, 2), 0);  // source rows 0..1 copied to rows 2..3: black
  EXPECT_EQ(dst2.At(1, 3), 0);

  // A zero rectangle, or one that fails the counting test, protects nothing.
  Image dst3(10, 5, 8, 77);
  ASSERT_EQ(Shrink(p, src, dst3, kNoTone, tagRECT{5, 2, 2, 3}), 1);
  EXPECT_EQ(dst3.At(1, 1), (3 + 20 + 4 + 20 + 3 + 30 + 4 + 30) / 4);  // source columns 3-4
}

TEST(InvoicQIShrinkImg2, SecondImageFollowsItsOwnSettings) {
  CBmpProcessing p;
  p.SetLightTable(-20, 0);
  Image a(6, 4, 24, 90), b(6, 4, 24, 200);
  Image outA(3, 2, 24, 1), outB(3, 2, 24, 1);
  uint8_t* pa = outA.bits.data();
  uint8_t* pb = outB.bits.data();
  tagColorCFG cfgB{};
  cfgB.sContrast = 1;  // table was filled for brightness -20; any non-zero pair applies it
  ASSERT_EQ(
      p.InvoicQIShrinkImg2(6, 4, 24, a.stride, a.bits.data(), b.bits.data(), 3, 2, 24, &pa, &pb,
                           static_cast<uint32_t>(outA.bits.size()), kNoTone, cfgB, kNoRect),
      1);
  EXPECT_EQ(outA.At(2, 1), 90);
  EXPECT_EQ(outB.At(2, 1), 180);
}

TEST(InvoicQIShrinkImg2, RefusesMissingBuffers) {
  CBmpProcessing p;
  Image src(4, 4, 8, 3);
  Image dst(2, 2, 8, 9);
  uint8_t* out = dst.bits.data();
  uint8_t* none = nullptr;
  EXPECT_EQ(p.InvoicQIShrinkImg2(4, 4, 8, 4, nullptr, nullptr, 2, 2, 8, &out, nullptr, 8, kNoTone,
                                 kNoTone, kNoRect),
            0);
  EXPECT_EQ(p.InvoicQIShrinkImg2(4, 4, 8, 4, src.bits.data(), nullptr, 2, 2, 8, nullptr, nullptr, 8,
                                 kNoTone, kNoTone, kNoRect),
            0);
  EXPECT_EQ(p.InvoicQIShrinkImg2(4, 4, 8, 4, src.bits.data(), nullptr, 2, 2, 8, &none, nullptr, 8,
                                 kNoTone, kNoTone, kNoRect),
            0);
  // A destination size too small for its rows would overrun: refused, nothing written.
  EXPECT_EQ(p.InvoicQIShrinkImg2(4, 4, 8, 4, src.bits.data(), nullptr, 2, 2, 24, &out, nullptr, 8,
                                 kNoTone, kNoTone, kNoRect),
            0);
  EXPECT_EQ(dst.At(0, 0), 9);
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
  Image src(c.sw, c.sh, c.bpp, 123);
  Image dst(c.dw, c.dh, c.bpp, 0);
  ASSERT_EQ(Shrink(p, src, dst), 1);
  for (uint32_t y = 0; y < c.dh; ++y)
    for (uint32_t x = 0; x < c.dw; ++x)
      for (uint32_t ch = 0; ch < c.bpp / 8; ++ch) ASSERT_EQ(dst.Px(x, y)[ch], 123);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UniformShrink,
    ::testing::Values(ShrinkCase{10, 10, 5, 5, 8}, ShrinkCase{600, 900, 203, 304, 24},
                      ShrinkCase{7, 3, 7, 3, 24}, ShrinkCase{97, 61, 13, 60, 8},
                      ShrinkCase{5, 5, 1, 1, 24}, ShrinkCase{300, 2, 203, 1, 8}));

// Odd sizes, growth on one axis, depth changes and protected rectangles reaching past every
// edge: all writes stay inside the destination (checked by the sanitizers) and the bytes
// past each row's pixels are never touched.
TEST(InvoicQIShrinkImg2, ArbitraryGeometryStaysInsideItsBuffers) {
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 300; ++round) {
    const uint32_t sbpp = next(2) ? 24 : 8, dbpp = next(2) ? 24 : 8;
    const uint32_t sw = 1 + next(40), sh = 1 + next(40);
    const uint32_t dw = 1 + next(next(4) == 0 ? sw + 8 : sw), dh = 1 + next(sh);
    Image src(sw, sh, sbpp, static_cast<uint8_t>(next(256)));
    Image dst(dw, dh, dbpp, 0xA5);
    const int32_t l = static_cast<int32_t>(next(sw + 10)) - 5;
    const int32_t t = static_cast<int32_t>(next(sh + 10)) - 5;
    const tagRECT rect{l, t, l + static_cast<int32_t>(next(sw + 5)),
                       t + static_cast<int32_t>(next(sh + 5))};
    SCOPED_TRACE(::testing::Message()
                 << sw << "x" << sh << "@" << sbpp << " -> " << dw << "x" << dh << "@" << dbpp);
    CBmpProcessing p;
    ASSERT_EQ(Shrink(p, src, dst, kNoTone, rect), 1);
    const uint32_t used = dw * (dbpp / 8);
    for (uint32_t y = 0; y < dh; ++y)
      for (uint32_t x = used; x < dst.stride; ++x) ASSERT_EQ(dst.bits[y * dst.stride + x], 0xA5);
  }
}
