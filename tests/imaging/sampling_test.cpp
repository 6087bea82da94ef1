// Samplers: overflow mappings on a 5 x 5 source, the near-white reading rule, the point
// sampling methods (nearest, bilinear fast and float paths, kernel clamps) and area sampling
// weights, plus the CxRect2 intersection they rely on.
#include "imaging/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

using P = CBmpProcessing;

// A sampling source owned by the test; the processor borrows it.
struct Source {
  std::vector<uint8_t> bits;
  P proc;
  Source(int w, int h, int bpp) {
    const uint32_t stride = ((w * bpp + 31) / 32) * 4;
    bits.assign(stride * h, 0);
    proc.srcHeader.biWidth = w;
    proc.srcHeader.biHeight = h;
    proc.srcHeader.biBitCount = static_cast<uint16_t>(bpp);
    proc.srcHeader.biSizeImage = stride * h;
    proc.srcStride = stride;
    proc.srcBits = bits.data();
  }
  void Set(int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* p = bits.data() + y * proc.srcStride;
    if (proc.srcHeader.biBitCount == 24) {
      p[3 * x] = b;
      p[3 * x + 1] = g;
      p[3 * x + 2] = r;
    } else {
      p[x] = b;
    }
  }
  void Set(int x, int y, uint8_t v) { Set(x, y, v, v, v); }
};

void ExpectColor(tagRGBQUAD c, int b, int g, int r, int reserved = 0) {
  EXPECT_EQ(c.rgbBlue, b);
  EXPECT_EQ(c.rgbGreen, g);
  EXPECT_EQ(c.rgbRed, r);
  EXPECT_EQ(c.rgbReserved, reserved);
}

}  // namespace

TEST(OverflowCoordinates, MapsOutsidePositionsOnAFiveByFiveSource) {
  Source s(5, 5, 8);
  auto map = [&](int x, int y, P::OverflowMethod m) {
    s.proc.OverflowCoordinates(x, y, m);
    return std::make_pair(x, y);
  };
  EXPECT_EQ(map(-3, 7, P::OverflowClamp), std::make_pair(0, 4));
  EXPECT_EQ(map(-1, 5, P::OverflowWrap), std::make_pair(4, 0));
  EXPECT_EQ(map(-6, 11, P::OverflowWrap), std::make_pair(4, 1));
  EXPECT_EQ(map(-1, 6, P::OverflowMirror), std::make_pair(1, 3));
  EXPECT_EQ(map(5, 2, P::OverflowMirror), std::make_pair(4, 2));
  // The edge pixel repeats on the far side only: -2 -> 2, W+1 -> W-2, -W -> 0, 2W -> W-1.
  EXPECT_EQ(map(-2, 6, P::OverflowMirror), std::make_pair(2, 3));
  EXPECT_EQ(map(-5, 10, P::OverflowMirror), std::make_pair(0, 4));
  EXPECT_EQ(map(2, 2, P::OverflowClamp), std::make_pair(2, 2));
  EXPECT_EQ(map(-3, 7, P::OverflowColor), std::make_pair(-3, 7));
  EXPECT_EQ(map(-3, 7, P::OverflowWhite), std::make_pair(-3, 7));
  EXPECT_EQ(map(-3, 7, static_cast<P::OverflowMethod>(9)), std::make_pair(-3, 7));
}

TEST(GetPixelColorWithOverflow, NearWhiteRuleAndReplacementColours) {
  Source gray(5, 5, 8);
  gray.Set(1, 1, 252);
  gray.Set(2, 1, 250);
  ExpectColor(gray.proc.GetPixelColorWithOverflow(1, 1, P::OverflowClamp, nullptr), 255, 255, 255);
  ExpectColor(gray.proc.GetPixelColorWithOverflow(2, 1, P::OverflowClamp, nullptr), 250, 250, 250);

  Source rgb(5, 5, 24);
  rgb.Set(0, 0, 250, 251, 251);  // blue 250: not all three reach 251
  rgb.Set(4, 4, 251, 251, 251);
  rgb.Set(3, 2, 10, 20, 30);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(0, 0, P::OverflowClamp, nullptr), 250, 251, 251);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(9, 9, P::OverflowClamp, nullptr), 255, 255, 255);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(3, -8, P::OverflowClamp, nullptr), 0, 0, 0);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(-2, 2, P::OverflowMirror, nullptr), 0, 0, 0);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(8, 7, P::OverflowWrap, nullptr), 10, 20, 30);

  // Outside colours are returned as given, without the near-white rule.
  tagRGBQUAD repl = {252, 253, 254, 7};
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(-1, 0, P::OverflowColor, nullptr), 255, 255, 255);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(-1, 0, P::OverflowColor, &repl), 252, 253, 254, 7);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(0, 5, P::OverflowWhite, &repl), 255, 255, 255, 7);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(0, 5, P::OverflowBlank, &repl), 255, 255, 255, 7);
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(0, 5, static_cast<P::OverflowMethod>(0), &repl),
              252, 253, 254, 7);

  // No image at all: the replacement colour everywhere, inside too.
  rgb.proc.srcBits = nullptr;
  ExpectColor(rgb.proc.GetPixelColorWithOverflow(3, 2, P::OverflowClamp, &repl), 252, 253, 254, 7);
}

TEST(GetPixelColorInterpolated, NearestRoundsHalfUpAndTruncatesTowardZero) {
  Source s(5, 1, 8);
  for (int x = 0; x < 5; ++x) s.Set(x, 0, static_cast<uint8_t>(10 * x + 10));
  auto at = [&](float x) {
    return s.proc.GetPixelColorInterpolated(x, 0.0f, P::InterpNearest, P::OverflowClamp, nullptr)
        .rgbRed;
  };
  EXPECT_EQ(at(-0.6f), 10);  // trunc(-0.1) = 0
  EXPECT_EQ(at(-1.6f), 10);  // trunc(-1.1) = -1, clamped
  EXPECT_EQ(at(2.5f), 40);
  EXPECT_EQ(at(2.49f), 30);
  EXPECT_EQ(at(40.0f), 50);
}

TEST(GetPixelColorInterpolated, BilinearFastAndFloatPaths) {
  Source s(4, 4, 24);
  s.Set(0, 0, 0);
  s.Set(1, 0, 100);
  s.Set(0, 1, 200);
  s.Set(1, 1, 255);
  s.Set(2, 2, 251);
  s.Set(3, 3, 77);
  // Fixed-point weights 64 each: (0 + 100 + 200 + 255) * 64 >> 8 = 138.
  ExpectColor(
      s.proc.GetPixelColorInterpolated(0.5f, 0.5f, P::InterpBilinear, P::OverflowClamp, nullptr),
      138, 138, 138);
  // Exact centres read the pixel, with the near-white rule.
  ExpectColor(
      s.proc.GetPixelColorInterpolated(1.0f, 0.0f, P::InterpBilinear, P::OverflowClamp, nullptr),
      100, 100, 100);
  ExpectColor(
      s.proc.GetPixelColorInterpolated(2.0f, 2.0f, P::InterpBilinear, P::OverflowClamp, nullptr),
      255, 255, 255);
  // Method 0 and values above 18 sample bilinearly too.
  for (int m : {0, 2, 19, 40}) {
    EXPECT_EQ(s.proc
                  .GetPixelColorInterpolated(0.5f, 0.5f, static_cast<P::InterpolationMethod>(m),
                                             P::OverflowClamp, nullptr)
                  .rgbGreen,
              138);
  }
  // The last row and column take the float path: the right neighbour is clamped.
  ExpectColor(
      s.proc.GetPixelColorInterpolated(3.0f, 3.0f, P::InterpBilinear, P::OverflowClamp, nullptr),
      77, 77, 77);
  // Far outside: a fill method gives its outside colour, clamp samples the last column at a
  // whole-pixel position.
  ExpectColor(
      s.proc.GetPixelColorInterpolated(50.5f, 0.5f, P::InterpBilinear, P::OverflowColor, nullptr),
      255, 255, 255);
  s.Set(3, 0, 40);
  ExpectColor(
      s.proc.GetPixelColorInterpolated(50.5f, 0.5f, P::InterpBilinear, P::OverflowClamp, nullptr),
      40, 40, 40);
  // 8-bit sources take the float path everywhere: halfway between 0 and 100 is 50.
  Source g(2, 1, 8);
  g.Set(1, 0, 100);
  EXPECT_EQ(
      g.proc.GetPixelColorInterpolated(0.5f, 0.0f, P::InterpBilinear, P::OverflowClamp, nullptr)
          .rgbBlue,
      50);
}

TEST(GetPixelColorInterpolated, KernelSumsAreClampedNotNormalised) {
  Source s(5, 1, 24);
  for (int x = 2; x < 5; ++x) s.Set(x, 0, 255);
  // 255 x 1.0625 = 270.9 becomes 255; 255 x -0.0625 becomes 0.
  ExpectColor(
      s.proc.GetPixelColorInterpolated(2.5f, 0.0f, P::InterpCatrom, P::OverflowClamp, nullptr), 255,
      255, 255);
  ExpectColor(
      s.proc.GetPixelColorInterpolated(0.5f, 0.0f, P::InterpCatrom, P::OverflowClamp, nullptr), 0,
      0, 0);
  // Far outside with a fill method: the outside colour, not a weighted sum.
  tagRGBQUAD repl = {1, 2, 3, 4};
  for (int m : {P::InterpCubic, P::InterpLanczos}) {
    ExpectColor(s.proc.GetPixelColorInterpolated(
                    -30.0f, 0.0f, static_cast<P::InterpolationMethod>(m), P::OverflowColor, &repl),
                1, 2, 3, 4);
  }
}

// A uniform image reads as its own value at every position and by every method whose weights
// sum to 1 (the others are not normalised); float rounding of the weights may lose 1.
class UniformSampling : public ::testing::TestWithParam<int> {};

TEST_P(UniformSampling, StaysUniformInsideAndAcrossTheEdge) {
  const auto method = static_cast<P::InterpolationMethod>(GetParam());
  for (int bpp : {8, 24}) {
    Source s(20, 20, bpp);
    std::fill(s.bits.begin(), s.bits.end(), 137);
    for (float x : {0.0f, 0.3f, 4.5f, 9.75f, 18.9f, 19.0f, -0.4f, 20.3f}) {
      for (float y : {0.0f, 7.2f, 19.5f}) {
        SCOPED_TRACE(::testing::Message() << "bpp " << bpp << " at " << x << "," << y);
        const tagRGBQUAD c =
            s.proc.GetPixelColorInterpolated(x, y, method, P::OverflowClamp, nullptr);
        EXPECT_GE(c.rgbRed, 136);
        EXPECT_LE(c.rgbRed, 137);
        EXPECT_EQ(c.rgbRed, c.rgbGreen);
        EXPECT_EQ(c.rgbRed, c.rgbBlue);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, UniformSampling,
                         ::testing::Values(P::InterpNearest, P::InterpBilinear, P::InterpBSpline,
                                           P::InterpCubic, P::InterpGeneralizedCubic, P::InterpBox,
                                           P::InterpHermite, P::InterpQuadratic, P::InterpMitchell,
                                           P::InterpCatrom));

TEST(CxRect2, CrossSectionAndMeasures) {
  const CxRect2 unit(0, 0, 1, 1);
  const CxRect2 touching = unit.CrossSection(CxRect2(1, 0, 2, 1));
  EXPECT_EQ(touching.x1, 1.0f);
  EXPECT_EQ(touching.y1, 0.0f);
  EXPECT_EQ(touching.x2, 1.0f);
  EXPECT_EQ(touching.y2, 1.0f);
  const CxRect2 apart = unit.CrossSection(CxRect2(2, 0, 3, 1));
  EXPECT_EQ(apart.x1, 0.0f);
  EXPECT_EQ(apart.x2, 0.0f);
  EXPECT_EQ(apart.Surface(), 0.0f);
  const CxRect2 part =
      CxRect2(-0.5f, -0.5f, 1.0f, 0.5f).CrossSection(CxRect2(0.5f, -0.5f, 1.5f, 0.5f));
  EXPECT_EQ(part.Width(), 0.5f);
  EXPECT_EQ(part.Height(), 1.0f);
  EXPECT_EQ(part.Center().x, 0.75f);
  EXPECT_EQ(CxPoint2(0, 0).Distance(3, 4), 5.0f);
}

TEST(GetAreaColorInterpolated, WeightsCoverOnlyTheArea) {
  Source s(4, 4, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) s.Set(x, y, static_cast<uint8_t>(10 * x + 40 * y));
  // Box average: pixels (0,0), (1,0), (0,1), (1,1) = 0, 10, 40, 50; row and column 2 weigh 0.
  ExpectColor(s.proc.GetAreaColorInterpolated(0.5f, 0.5f, 2, 2, P::InterpNearest, P::OverflowClamp,
                                              nullptr),
              25, 25, 25);
  // Overlap sampling of a thin area: pixels (0,0) and (1,0).
  ExpectColor(s.proc.GetAreaColorInterpolated(0.5f, 0.0f, 2, 1, P::InterpNearest, P::OverflowClamp,
                                              nullptr),
              5, 5, 5);
  // A 1 x 1 area is a point sample.
  ExpectColor(s.proc.GetAreaColorInterpolated(1.0f, 1.0f, 1, 1, P::InterpNearest, P::OverflowClamp,
                                              nullptr),
              50, 50, 50);
  // Half-covered edge cells weigh a half: columns 0.5 of x=1, all of x=2, 0.5 of x=3, rows 0..1.
  ExpectColor(s.proc.GetAreaColorInterpolated(2.0f, 0.5f, 2, 2, P::InterpNearest, P::OverflowClamp,
                                              nullptr),
              40, 40, 40);

  Source w(4, 4, 24);
  std::fill(w.bits.begin(), w.bits.end(), 251);
  ExpectColor(w.proc.GetAreaColorInterpolated(0.5f, 0.5f, 2, 2, P::InterpNearest, P::OverflowClamp,
                                              nullptr),
              255, 255, 255);
}

// Clamping is edge replication: an area straddling the edge of an image reads like the same
// area, shifted by whole pixels, inside a copy of the image padded with its edge pixels.
// (Positions are multiples of 1/8, so the shift leaves every weight bit-identical.) Low edges
// stay at or above -0.5: below it the cell range is truncated toward zero and the part of the
// area left of cell 0 counts in the divisor only, which the resampler's areas never reach.
TEST(GetAreaColorInterpolated, ClampAtTheEdgeEqualsReplicatedPadding) {
  const int w = 7, h = 5, pad = 3;
  for (int bpp : {8, 24}) {
    Source s(w, h, bpp), padded(w + 2 * pad, h + 2 * pad, bpp);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) s.Set(x, y, static_cast<uint8_t>(37 * x + 11 * y + 5));
    for (int y = 0; y < h + 2 * pad; ++y) {
      for (int x = 0; x < w + 2 * pad; ++x) {
        const int cx = std::min(std::max(x - pad, 0), w - 1);
        const int cy = std::min(std::max(y - pad, 0), h - 1);
        padded.Set(x, y, static_cast<uint8_t>(37 * cx + 11 * cy + 5));
      }
    }
    for (float xc : {1.5f, 3.0f, 5.875f, 6.5f, 8.0f}) {
      for (float yc : {1.5f, 2.0f, 4.625f, 6.0f}) {
        for (float size : {1.0f, 1.5f, 2.25f, 3.0f}) {
          SCOPED_TRACE(::testing::Message() << bpp << " " << xc << "," << yc << " " << size);
          const tagRGBQUAD a = s.proc.GetAreaColorInterpolated(
              xc, yc, size + 0.5f, size, P::InterpNearest, P::OverflowClamp, nullptr);
          const tagRGBQUAD b = padded.proc.GetAreaColorInterpolated(
              xc + pad, yc + pad, size + 0.5f, size, P::InterpNearest, P::OverflowClamp, nullptr);
          ExpectColor(a, b.rgbBlue, b.rgbGreen, b.rgbRed);
        }
      }
    }
  }
}
