// Samplers: overflow mappings on a 5 x 5 source, the near-white reading rule, the point
// sampling methods (nearest, bilinear fast and float paths, kernel clamps) and area sampling
// weights, with clamping at the edge equal to replicated padding.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <utility>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

using P = CBmpProcessing;
using Color = std::array<int, 4>;  // blue, green, red, reserved

Color C(tagRGBQUAD c) { return {c.rgbBlue, c.rgbGreen, c.rgbRed, c.rgbReserved}; }
Color Gray(int v) { return {v, v, v, 0}; }

// A sampling source owned by the test; the processor borrows it.
struct Source : qev_test::Image {
  P proc;
  Source(uint32_t w, uint32_t h, uint32_t bpp, uint8_t fill = 0) : Image(w, h, bpp, fill) {
    Bind(proc);
  }
  Source(uint32_t w, uint32_t h, uint32_t bpp, std::initializer_list<uint8_t> pixels)
      : Image(w, h, bpp, pixels) {
    Bind(proc);
  }
  Color Fetch(int x, int y, P::OverflowMethod m, tagRGBQUAD* repl = nullptr) {
    return C(proc.GetPixelColorWithOverflow(x, y, m, repl));
  }
  Color Point(float x, float y, int method, P::OverflowMethod m = P::OverflowClamp,
              tagRGBQUAD* repl = nullptr) {
    return C(
        proc.GetPixelColorInterpolated(x, y, static_cast<P::InterpolationMethod>(method), m, repl));
  }
  Color Area(float xc, float yc, float w, float h) {
    return C(
        proc.GetAreaColorInterpolated(xc, yc, w, h, P::InterpNearest, P::OverflowClamp, nullptr));
  }
};

TEST(OverflowCoordinates, MapsOutsidePositionsOnAFiveByFiveSource) {
  Source s(5, 5, 8);
  auto map = [&](int x, int y, int m) {
    s.proc.OverflowCoordinates(x, y, static_cast<P::OverflowMethod>(m));
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
  for (int m : {1, 2, 9}) EXPECT_EQ(map(-3, 7, m), std::make_pair(-3, 7)) << m;
  // The most negative int mirrors without overflow; an empty image maps nothing (no division).
  EXPECT_EQ(map(INT_MIN, 0, P::OverflowMirror), std::make_pair(3, 0));
  Source empty(0, 0, 8);
  int x = -1, y = -1;
  empty.proc.OverflowCoordinates(x, y, P::OverflowWrap);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(-1, -1));
}

TEST(GetPixelColorWithOverflow, NearWhiteRuleAndReplacementColours) {
  Source gray(5, 5, 8);
  gray.Set(1, 1, 252);
  gray.Set(2, 1, 250);
  EXPECT_EQ(gray.Fetch(1, 1, P::OverflowClamp), Gray(255));
  EXPECT_EQ(gray.Fetch(2, 1, P::OverflowClamp), Gray(250));

  Source rgb(5, 5, 24);
  rgb.SetBGR(0, 0, 250, 251, 251);  // blue 250: not all three reach 251
  rgb.Set(4, 4, 251);
  rgb.SetBGR(3, 0, 10, 20, 30);
  EXPECT_EQ(rgb.Fetch(0, 0, P::OverflowClamp), (Color{250, 251, 251, 0}));
  EXPECT_EQ(rgb.Fetch(9, 9, P::OverflowClamp), Gray(255));
  EXPECT_EQ(rgb.Fetch(3, -8, P::OverflowClamp), (Color{10, 20, 30, 0}));  // mapped back inside
  EXPECT_EQ(rgb.Fetch(8, 5, P::OverflowWrap), (Color{10, 20, 30, 0}));

  // Outside colours are returned as given, without the near-white rule.
  tagRGBQUAD repl = {252, 253, 254, 7};
  EXPECT_EQ(rgb.Fetch(-1, 0, P::OverflowColor), Gray(255));
  EXPECT_EQ(rgb.Fetch(-1, 0, P::OverflowColor, &repl), (Color{252, 253, 254, 7}));
  EXPECT_EQ(rgb.Fetch(0, 5, P::OverflowWhite, &repl), (Color{255, 255, 255, 7}));
  EXPECT_EQ(rgb.Fetch(0, 5, static_cast<P::OverflowMethod>(0), &repl), (Color{252, 253, 254, 7}));
  rgb.proc.srcBits = nullptr;  // no image: the replacement colour everywhere, inside too
  EXPECT_EQ(rgb.Fetch(3, 2, P::OverflowClamp, &repl), (Color{252, 253, 254, 7}));
}

TEST(GetPixelColorInterpolated, NearestAndBilinear) {
  Source row(5, 1, 8, {10, 20, 30, 40, 50});
  // Nearest rounds half up and truncates toward zero: -0.6 reads column 0, -1.6 column -1.
  const std::pair<float, int> nearest[] = {
      {-0.6f, 10}, {-1.6f, 10}, {2.5f, 40}, {2.49f, 30}, {40.0f, 50}};
  for (const auto& n : nearest) EXPECT_EQ(row.Point(n.first, 0, P::InterpNearest), Gray(n.second));
  EXPECT_EQ(row.Point(-0.6f, 0, P::InterpNearest, P::OverflowColor), Gray(10));  // inside

  Source s(4, 4, 24, {0, 100, 0, 0, 200, 255, 0, 0, 0, 0, 251, 0, 0, 0, 0, 77});
  // Fixed-point weights 64 each: (0 + 100 + 200 + 255) * 64 >> 8 = 138; method 0 and values
  // above 18 sample bilinearly too.
  for (int m : {0, 2, 19, 40}) EXPECT_EQ(s.Point(0.5f, 0.5f, m), Gray(138)) << m;
  EXPECT_EQ(s.Point(1.0f, 0.0f, 2), Gray(100));  // exact centres read the pixel,
  EXPECT_EQ(s.Point(2.0f, 2.0f, 2), Gray(255));  // with the near-white rule
  EXPECT_EQ(s.Point(3.0f, 3.0f, 2), Gray(77));   // float path, right neighbour clamped
  // Far outside: a fill method gives its outside colour; clamp samples the last column at a
  // whole-pixel position.
  EXPECT_EQ(s.Point(50.5f, 0.5f, 2, P::OverflowColor), Gray(255));
  s.Set(3, 0, 40);
  EXPECT_EQ(s.Point(50.5f, 0.5f, 2), Gray(40));
  Source g(2, 1, 8, {0, 100});  // 8-bit sources take the float path everywhere
  EXPECT_EQ(g.Point(0.5f, 0.0f, 2), Gray(50));
}

TEST(GetPixelColorInterpolated, KernelSumsAreClampedNotNormalised) {
  Source s(5, 1, 24, {0, 0, 255, 255, 255});
  // 255 x 1.0625 = 270.9 becomes 255; 255 x -0.0625 becomes 0.
  EXPECT_EQ(s.Point(2.5f, 0.0f, P::InterpCatrom), Gray(255));
  EXPECT_EQ(s.Point(0.5f, 0.0f, P::InterpCatrom), Gray(0));
  tagRGBQUAD repl = {1, 2, 3, 4};  // far outside with a fill method: the outside colour
  for (int m : {P::InterpCubic, P::InterpLanczos})
    EXPECT_EQ(s.Point(-30.0f, 0.0f, m, P::OverflowColor, &repl), (Color{1, 2, 3, 4})) << m;
}

// A uniform image reads as its own value at every position and by every method whose weights
// sum to 1 (the others are not normalised); float rounding of the weights may lose 1.
class UniformSampling : public ::testing::TestWithParam<int> {};

TEST_P(UniformSampling, StaysUniformInsideAndAcrossTheEdge) {
  for (uint32_t bpp : {8u, 24u}) {
    Source s(20, 20, bpp, 137);
    for (float x : {0.0f, 0.3f, 4.5f, 9.75f, 18.9f, 19.0f, -0.4f, 20.3f})
      for (float y : {0.0f, 7.2f, 19.5f}) {
        const Color c = s.Point(x, y, GetParam());
        EXPECT_TRUE(c == Gray(137) || c == Gray(136)) << "bpp " << bpp << " at " << x << "," << y;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, UniformSampling,
                         ::testing::Values(P::InterpNearest, P::InterpBilinear, P::InterpBSpline,
                                           P::InterpCubic, P::InterpGeneralizedCubic, P::InterpBox,
                                           P::InterpHermite, P::InterpQuadratic, P::InterpMitchell,
                                           P::InterpCatrom));

TEST(GetAreaColorInterpolated, WeightsCoverOnlyTheArea) {
  Source s(4, 4, 24, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150});
  // Box average of pixels (0,0), (1,0), (0,1), (1,1) = 0, 10, 40, 50; row and column 2 weigh 0.
  EXPECT_EQ(s.Area(0.5f, 0.5f, 2, 2), Gray(25));
  EXPECT_EQ(s.Area(0.5f, 0.0f, 2, 1), Gray(5));   // overlap sampling of pixels (0,0) and (1,0)
  EXPECT_EQ(s.Area(1.0f, 1.0f, 1, 1), Gray(50));  // a point sample
  // Half-covered edge cells weigh a half: columns 0.5 of x=1, all of x=2, 0.5 of x=3, rows 0..1.
  EXPECT_EQ(s.Area(2.0f, 0.5f, 2, 2), Gray(40));
  Source w(4, 4, 24, 251);  // every pixel reads as white before averaging
  EXPECT_EQ(w.Area(0.5f, 0.5f, 2, 2), Gray(255));
}

// Clamping is edge replication: an area straddling the edge of an image reads like the same
// area, shifted by whole pixels, inside a copy of the image padded with its edge pixels.
// (Positions are multiples of 1/8, so the shift leaves every weight bit-identical.) Low edges
// stay at or above -0.5: below it the cell range is truncated toward zero and the part of the
// area left of cell 0 counts in the divisor only, which the resampler's areas never reach.
TEST(GetAreaColorInterpolated, ClampAtTheEdgeEqualsReplicatedPadding) {
  const int w = 7, h = 5, pad = 3;
  for (uint32_t bpp : {8u, 24u}) {
    Source s(w, h, bpp), padded(w + 2 * pad, h + 2 * pad, bpp);
    for (int y = 0; y < h + 2 * pad; ++y)
      for (int x = 0; x < w + 2 * pad; ++x) {
        const int cx = std::min(std::max(x - pad, 0), w - 1);
        const int cy = std::min(std::max(y - pad, 0), h - 1);
        padded.Set(x, y, static_cast<uint8_t>(37 * cx + 11 * cy + 5));
        if (x < w && y < h) s.Set(x, y, static_cast<uint8_t>(37 * x + 11 * y + 5));
      }
    for (float xc : {1.5f, 3.0f, 5.875f, 6.5f, 8.0f})
      for (float yc : {1.5f, 2.0f, 4.625f, 6.0f})
        for (float size : {1.0f, 1.5f, 2.25f, 3.0f})
          EXPECT_EQ(s.Area(xc, yc, size + 0.5f, size),
                    padded.Area(xc + pad, yc + pad, size + 0.5f, size))
              << bpp << " " << xc << "," << yc << " " << size;
  }
}

}  // namespace
