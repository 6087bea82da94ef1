// Halftone method Auto on labels: codes and text on white come out exactly as the fixed
// threshold cuts them, and no dither dot lands near a hard edge while tints away from edges
// are still dithered. Its flat tones are checked with the other halftones.
#include "imaging/auto_halftone.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

constexpr uint32_t kGuard = 24;  // 3 mm at 203 dpi: walks cross several 16-pixel blocks

// Auto and the fixed threshold (method 1) of a page drawn by f, plain and negative.
struct Page {
  uint32_t w, h, stride;
  std::vector<uint8_t> src;
  Page(uint32_t w_, uint32_t h_, const std::function<uint8_t(uint32_t, uint32_t)>& f)
      : w(w_), h(h_), stride((w_ + 3) / 4 * 4), src(stride * h_, 0) {
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) src[y * stride + x] = f(x, y);
  }
  std::vector<uint8_t> Run(bool autoMethod, bool negative = false) const {
    std::vector<uint8_t> copy = src, dst(src.size(), 255);
    if (autoMethod)
      EXPECT_EQ(AutoHalftone(src.data(), dst.data(), h, w, stride, kGuard, negative), 1);
    else
      CBmpProcessing().Dither(1, copy.data(), dst.data(), h, w, stride, 0, negative);
    return dst;
  }
};

TEST(AutoHalftone, CodesAndTextOnWhiteAreExactlyThreshold) {
  // Bars 1 to 6 dots wide with anti-aliased rims (the grays a 300 dpi raster shrunk to 203
  // dpi leaves), a rule, and strokes with soft rims, all on white paper.
  const Page page(230, 110, [](uint32_t x, uint32_t y) -> uint8_t {
    if (y >= 10 && y < 70 && x >= 20 && x < 200) {
      const uint32_t cell = (x - 20) % 30, width = 1 + (x - 20) / 30;  // bar, then space
      return cell < width ? 0 : cell == width ? 170 : cell == 29 ? 90 : 255;
    }
    if (y == 80 || y == 81) return x % 7 == 0 ? 40 : 10;
    const uint32_t c = x % 9;
    if (y >= 90 && y < 100)
      return c < 2 ? 0 : c == 2 ? 120 : c == 3 ? 200 : (y == 90 && c < 7) ? 30 : 255;
    return 255;
  });
  EXPECT_EQ(page.Run(true), page.Run(false));
  EXPECT_EQ(page.Run(true, true), page.Run(false, true));
}

TEST(AutoHalftone, NoDitherDotNearAHardEdgeButTintsAwayFromEdgesAreDithered) {
  // A 30 % tint (level 178) with a block of bars in the middle and a gradient patch.
  const Page page(300, 300, [](uint32_t x, uint32_t y) -> uint8_t {
    if (y >= 120 && y < 180 && x >= 120 && x < 180) return (x / 3) % 2 ? 0 : 178;
    if (y >= 240 && x < 80) return static_cast<uint8_t>(60 + x * 2);
    return 178;
  });
  const std::vector<uint8_t> out = page.Run(true);
  // Within kGuard dots of the bars (columns 123 to 179, rows 120 to 179) the tint is white
  // paper and the bars are solid.
  const int g = static_cast<int>(kGuard);
  for (int y = 120 - g; y < 180 + g; ++y)
    for (int x = 123 - g; x < 180 + g; ++x) {
      const bool bar = y >= 120 && y < 180 && x >= 120 && x < 180 && (x / 3) % 2;
      ASSERT_EQ(out[y * page.stride + x] == 0, bar) << x << "," << y;
    }
  // Far from the bars the tint keeps its tone as dots (about 30 % of them).
  int dots = 0;
  for (int i = 0; i < 80 * 300; ++i) dots += out[i / 300 * page.stride + i % 300] == 0;
  EXPECT_NEAR(dots / (80.0 * 300.0), 1 - 178 / 255.0, 0.01);
}

}  // namespace
