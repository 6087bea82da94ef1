// Halftone method Auto: what it promises a label. Codes and text on white come out exactly as
// the fixed threshold cuts them, flat mid tones keep their mean, and no dither dot lands near
// a hard edge while tints away from edges are still dithered.
#include "imaging/auto_halftone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

constexpr uint32_t kGuard = 24;  // 3 mm at 203 dpi: walks cross several 16-pixel blocks

struct Page {
  uint32_t w, h, stride;
  std::vector<uint8_t> src;
  Page(uint32_t w_, uint32_t h_, const std::function<uint8_t(uint32_t, uint32_t)>& f)
      : w(w_), h(h_), stride((w_ + 3) / 4 * 4), src(stride * h_, 0) {
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) src[y * stride + x] = f(x, y);
  }
  std::vector<uint8_t> Auto(bool negative = false) const {
    std::vector<uint8_t> dst(src.size(), 255);
    EXPECT_EQ(AutoHalftone(src.data(), dst.data(), h, w, stride, kGuard, negative), 1);
    return dst;
  }
  std::vector<uint8_t> Threshold(bool negative = false) const {
    std::vector<uint8_t> copy = src, dst(src.size(), 255);
    CBmpProcessing().Dither(1, copy.data(), dst.data(), h, w, stride, 0, negative);
    return dst;
  }
};

// Bars 1 to 6 dots wide with anti-aliased rims (the grays a 300 dpi raster shrunk to 203 dpi
// leaves), a rule, and blocky glyph-like strokes, all on white paper.
uint8_t CodeAndText(uint32_t x, uint32_t y) {
  if (y >= 10 && y < 70 && x >= 20 && x < 200) {
    const uint32_t cell = (x - 20) % 30, width = 1 + (x - 20) / 30;  // bar, then space
    if (cell < width) return 0;
    if (cell == width) return 170;
    if (cell == 29) return 90;
    return 255;
  }
  if (y == 80 || y == 81) return x % 7 == 0 ? 40 : 10;  // a rule
  if (y >= 90 && y < 100) {                             // "text": strokes with soft rims
    const uint32_t c = x % 9;
    return c < 2 ? 0 : c == 2 ? 120 : c == 3 ? 200 : (y == 90 && c < 7) ? 30 : 255;
  }
  return 255;
}

TEST(AutoHalftone, CodesAndTextOnWhiteAreExactlyThreshold) {
  const Page page(230, 110, CodeAndText);
  EXPECT_EQ(page.Auto(), page.Threshold());
  EXPECT_EQ(page.Auto(true), page.Threshold(true));
}

TEST(AutoHalftone, FlatMidTonesKeepTheirMean) {
  // Away from edges Auto is an error diffusion: the share of white dots follows the level
  // within half a percent on a page of 40 000 dots (Threshold would give 0 % or 100 %).
  for (int level : {40, 77, 128, 180, 217}) {
    const Page page(200, 200, [&](uint32_t, uint32_t) { return static_cast<uint8_t>(level); });
    const std::vector<uint8_t> out = page.Auto();
    double white = 0;
    for (uint32_t y = 0; y < page.h; ++y)
      for (uint32_t x = 0; x < page.w; ++x) white += out[y * page.stride + x] == 255;
    EXPECT_NEAR(white / (page.w * page.h), level / 255.0, 0.005) << level;
  }
}

TEST(AutoHalftone, NoDitherDotNearAHardEdgeButTintsAwayFromEdgesAreDithered) {
  // A 30 % tint (level 178) with a block of bars in the middle and a gradient patch.
  const Page page(300, 300, [](uint32_t x, uint32_t y) -> uint8_t {
    if (y >= 120 && y < 180 && x >= 120 && x < 180) return (x / 3) % 2 ? 0 : 178;
    if (y >= 240 && x < 80) return static_cast<uint8_t>(60 + x * 2);
    return 178;
  });
  const std::vector<uint8_t> out = page.Auto();
  auto black = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < 300 && y < 300 && out[y * page.stride + x] == 0;
  };
  // Within kGuard dots of the bars (columns 123 to 179, rows 120 to 179) the tint is white
  // paper and the bars are solid.
  const int g = static_cast<int>(kGuard);
  for (int y = 120 - g; y < 180 + g; ++y)
    for (int x = 123 - g; x < 180 + g; ++x) {
      const bool bar = y >= 120 && y < 180 && x >= 120 && x < 180 && (x / 3) % 2;
      ASSERT_EQ(black(x, y), bar) << x << "," << y;
    }
  // Far from the bars the tint keeps its tone as dots (about 30 % of them).
  int dots = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 300; ++x) dots += black(x, y);
  EXPECT_NEAR(dots / (80.0 * 300.0), 1 - 178 / 255.0, 0.01);
}

}  // namespace
