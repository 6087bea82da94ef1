// Adaptive threshold of the page pipeline: grid and map sizes, mixing, bias, the bilinear
// spread of the block thresholds, and the failure path.
#include "imaging/adaptive_threshold.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_image.h"

namespace {

struct Output {
  int ok = 0;
  qev_test::Owned out;
  int len = 0;
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(out.p, out.p + len); }
};

void Threshold(const std::vector<uint8_t>& img, int w, int h, int stride, Output* o,
               bool negative = false, int block = 64, int bias = 0, float mix = 0.5f) {
  o->ok = AdaptiveThreshold(img.data(), w, h, stride, &o->out.p, &o->len, negative, 0, block, bias,
                            mix);
}

// Gradient page with a darker textured band; every block has several levels.
std::vector<uint8_t> Page(int w, int h, int stride) {
  std::vector<uint8_t> img(static_cast<size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img[y * stride + x] = static_cast<uint8_t>(((x * 7 + y * 3) % 97) + (y > h / 2 ? 20 : 120));
  return img;
}

TEST(Resample, BilinearValuesAndTheSpreadOfABlockGrid) {
  const uint8_t src[4] = {0, 100, 0, 0};
  qev_test::Owned row;
  ASSERT_EQ(Resample(src, 2, 1, 4, 4, 1, &row.p), 1);
  EXPECT_EQ(std::vector<uint8_t>(row.p, row.p + 4), (std::vector<uint8_t>{0, 50, 100, 100}));
  // The adaptive threshold's use: a 2 x 2 grid (rows of 4 bytes) to a 128 x 128 map. Each
  // block's value sits on the block's first pixel; the last blocks hold theirs to the edge.
  const uint8_t grid[8] = {0, 128, 0, 0, 64, 192, 0, 0};
  qev_test::Owned map;
  ASSERT_EQ(Resample(grid, 2, 2, 4, 128, 128, &map.p), 1);
  const int expect[][2] = {{0, 0},
                           {32, 64},
                           {64, 128},
                           {127, 128},
                           {64 * 128, 64},
                           {32 * 128 + 32, 96},
                           {127 * 128 + 127, 192}};
  for (const auto& e : expect) EXPECT_EQ(map.p[e[0]], e[1]) << "byte " << e[0];

  uint8_t* none = nullptr;
  EXPECT_EQ(Resample(src, 2, 1, 4, 4, 0, &none), 0);
  EXPECT_EQ(Resample(src, 2, 1, 4, 0, 3, &none), 0);
  EXPECT_EQ(Resample(src, 2, 1, 4, 2, 1, &none), 1);  // same size: nothing produced
  EXPECT_EQ(none, nullptr);
}

TEST(AdaptiveThreshold, OutputLayoutAndParameterClamps) {
  const std::vector<uint8_t> img = Page(100, 70, 100);
  Output o;
  Threshold(img, 100, 70, 100, &o);
  ASSERT_EQ(o.ok, 1);
  EXPECT_EQ(o.len, 7000);
  // Width 5: rows of 8 bytes whose padding stays 0 even for a negative print.
  Output n;
  Threshold(Page(5, 9, 12), 5, 9, 12, &n, true);
  ASSERT_EQ(n.len, 72);
  for (int y = 0; y < 9; ++y)
    for (int x = 5; x < 8; ++x) EXPECT_EQ(n.out.p[y * 8 + x], 0);

  // Mix 1 cuts at the global threshold, a mix above 1 acts as 1; mix 0 differs.
  const std::vector<uint8_t> page = Page(130, 90, 132);
  Output one, over, zero;
  Threshold(page, 130, 90, 132, &one, false, 64, 0, 1.0f);
  Threshold(page, 130, 90, 132, &over, false, 64, 0, 1.5f);
  Threshold(page, 130, 90, 132, &zero, false, 64, 0, 0.0f);
  EXPECT_EQ(one.Bytes(), over.Bytes());
  EXPECT_NE(one.Bytes(), zero.Bytes());
  const int g = OptimalThreshold(0, page.data(), 130, 90, 132, nullptr);
  ASSERT_GE(g, 0);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 130; ++x)
      ASSERT_EQ(one.out.p[y * 132 + x], page[y * 132 + x] >= g ? 255 : 0);
}

TEST(AdaptiveThreshold, PixelEqualToItsThresholdIsWhiteAndUniformPagesAreWhite) {
  // Equal populations at 50 and 200 give a global threshold of 75; with mix 1 and bias -25
  // the whole map is 50, exactly the dark level.
  std::vector<uint8_t> img(64 * 64);
  for (size_t i = 0; i < img.size(); ++i) img[i] = i % 64 < 32 ? 50 : 200;
  Output equal, above;
  Threshold(img, 64, 64, 64, &equal, false, 64, -25, 1.0f);
  Threshold(img, 64, 64, 64, &above, false, 64, -24, 1.0f);
  for (int i = 0; i < 64 * 64; ++i) {
    ASSERT_EQ(equal.out.p[i], 255);
    ASSERT_EQ(above.out.p[i], img[i] == 50 ? 0 : 255);
  }
  for (int v : {0, 1, 128, 254, 255}) {
    const std::vector<uint8_t> flat(40 * 30, static_cast<uint8_t>(v));
    Output pos, neg;
    Threshold(flat, 40, 30, 40, &pos);
    Threshold(flat, 40, 30, 40, &neg, true);
    EXPECT_EQ(pos.Bytes(), std::vector<uint8_t>(1200, 255)) << v;
    EXPECT_EQ(neg.Bytes(), std::vector<uint8_t>(1200, 0)) << v;
  }
}

TEST(AdaptiveThreshold, FailuresStoreNothing) {
  const std::vector<uint8_t> img(64, 100);
  uint8_t sentinel = 0;
  uint8_t* out = &sentinel;
  int len = -5;
  EXPECT_EQ(AdaptiveThreshold(nullptr, 8, 8, 8, &out, &len, false, 0, 64, 0, 0.5f), 0);
  EXPECT_EQ(AdaptiveThreshold(img.data(), 8, 0, 8, &out, &len, false, 0, 64, 0, 0.5f), 0);
  EXPECT_EQ(AdaptiveThreshold(img.data(), 0, 8, 8, &out, &len, false, 0, 64, 0, 0.5f), 0);
  EXPECT_EQ(out, &sentinel);
  EXPECT_EQ(len, -5);
}

}  // namespace
