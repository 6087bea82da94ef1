// Adaptive threshold of the page pipeline: grid and map sizes, mixing, bias, the bilinear
// spread of the block thresholds, and the failure path.
#include "imaging/adaptive_threshold.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

struct Output {
  int ok = 0;
  uint8_t* out = nullptr;
  int len = 0;
  ~Output() { std::free(out); }
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(out, out + len); }
};

void Threshold(const std::vector<uint8_t>& img, int w, int h, int stride, Output* o,
               bool negative = false, int block = 64, int bias = 0, float mix = 0.5f,
               int method = 0) {
  o->ok = AdaptiveThreshold(img.data(), w, h, stride, &o->out, &o->len, negative, method, block,
                            bias, mix);
}

// Gradient page with a darker textured band; every block has several levels.
std::vector<uint8_t> Page(int w, int h, int stride) {
  std::vector<uint8_t> img(static_cast<size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img[y * stride + x] = static_cast<uint8_t>(((x * 7 + y * 3) % 97) + (y > h / 2 ? 20 : 120));
  return img;
}

TEST(Resample, BilinearValuesAndLayout) {
  const uint8_t src[4] = {0, 100, 0, 0};
  uint8_t* dst = nullptr;
  ASSERT_EQ(Resample(src, 2, 1, 4, 4, 1, &dst), 1);
  ASSERT_NE(dst, nullptr);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(dst[1], 50);
  EXPECT_EQ(dst[2], 100);
  EXPECT_EQ(dst[3], 100);
  std::free(dst);

  // 2 x 2 grid to 5 x 2: rows of 8 bytes, zero padding; the second row starts at byte 8.
  const uint8_t grid[8] = {10, 50, 0, 0, 90, 130, 0, 0};
  dst = nullptr;
  ASSERT_EQ(Resample(grid, 2, 2, 4, 5, 2, &dst), 1);
  EXPECT_EQ(dst[0], 10);
  EXPECT_EQ(dst[8], 90);
  EXPECT_EQ(dst[5], 0);
  std::free(dst);

  dst = nullptr;
  EXPECT_EQ(Resample(src, 2, 1, 4, 4, 0, &dst), 0);
  EXPECT_EQ(Resample(src, 2, 1, 4, 0, 3, &dst), 0);
  EXPECT_EQ(Resample(src, 2, 1, 4, 2, 1, &dst), 1);  // same size: nothing produced
  EXPECT_EQ(dst, nullptr);
}

TEST(Resample, BlockGridSpreadsOverTheMap) {
  // The adaptive threshold's use: a 2 x 2 grid (rows of 4 bytes) to a 128 x 128 map. Each
  // block's value sits on the block's first pixel; the last blocks hold theirs to the edge.
  const uint8_t grid[8] = {0, 128, 0, 0, 64, 192, 0, 0};
  uint8_t* map = nullptr;
  ASSERT_EQ(Resample(grid, 2, 2, 4, 128, 128, &map), 1);
  EXPECT_EQ(map[0], 0);
  EXPECT_EQ(map[32], 64);             // halfway across the first block
  EXPECT_EQ(map[64], 128);            // first pixel of the second block
  EXPECT_EQ(map[127], 128);           // kept to the edge
  EXPECT_EQ(map[64 * 128], 64);       // first row of the lower blocks
  EXPECT_EQ(map[32 * 128 + 32], 96);  // bilinear in both directions
  EXPECT_EQ(map[127 * 128 + 127], 192);
  std::free(map);
}

TEST(AdaptiveThreshold, OutputLayout) {
  const std::vector<uint8_t> img = Page(100, 70, 100);
  Output o;
  Threshold(img, 100, 70, 100, &o);
  ASSERT_EQ(o.ok, 1);
  EXPECT_EQ(o.len, 7000);
  // Width 5: output rows of 8 bytes whose padding stays 0 even for a negative print.
  const std::vector<uint8_t> narrow = Page(5, 9, 12);
  Output n;
  Threshold(narrow, 5, 9, 12, &n, true);
  ASSERT_EQ(n.ok, 1);
  EXPECT_EQ(n.len, 72);
  for (int y = 0; y < 9; ++y)
    for (int x = 5; x < 8; ++x) EXPECT_EQ(n.out[y * 8 + x], 0);
}

TEST(AdaptiveThreshold, BlockSizeBelowEightActsAsEight) {
  const std::vector<uint8_t> img = Page(50, 40, 52);
  Output five, eight;
  Threshold(img, 50, 40, 52, &five, false, 5);
  Threshold(img, 50, 40, 52, &eight, false, 8);
  ASSERT_EQ(five.ok, 1);
  EXPECT_EQ(five.Bytes(), eight.Bytes());
}

TEST(AdaptiveThreshold, MixIsClampedAndOneCutsAtTheGlobalThreshold) {
  const std::vector<uint8_t> img = Page(130, 90, 132);
  const int g = OptimalThreshold(0, img.data(), 130, 90, 132, nullptr);
  ASSERT_GE(g, 0);
  Output one, over, zero, under;
  Threshold(img, 130, 90, 132, &one, false, 64, 0, 1.0f);
  Threshold(img, 130, 90, 132, &over, false, 64, 0, 1.5f);
  Threshold(img, 130, 90, 132, &zero, false, 64, 0, 0.0f);
  Threshold(img, 130, 90, 132, &under, false, 64, 0, -0.2f);
  EXPECT_EQ(one.Bytes(), over.Bytes());
  EXPECT_EQ(zero.Bytes(), under.Bytes());
  EXPECT_NE(one.Bytes(), zero.Bytes());
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 130; ++x) ASSERT_EQ(one.out[y * 132 + x], img[y * 132 + x] >= g ? 255 : 0);
}

TEST(AdaptiveThreshold, PixelEqualToItsThresholdIsWhite) {
  // Equal populations at 50 and 200 give a global threshold of 75; with mix 1 and bias -25
  // the whole map is 50, exactly the dark level.
  std::vector<uint8_t> img(64 * 64);
  for (size_t i = 0; i < img.size(); ++i) img[i] = i % 64 < 32 ? 50 : 200;
  Output equal, above;
  Threshold(img, 64, 64, 64, &equal, false, 64, -25, 1.0f);
  Threshold(img, 64, 64, 64, &above, false, 64, -24, 1.0f);
  for (int i = 0; i < 64 * 64; ++i) {
    ASSERT_EQ(equal.out[i], 255);
    ASSERT_EQ(above.out[i], img[i] == 50 ? 0 : 255);
  }
}

TEST(AdaptiveThreshold, UniformPagesAreWhite) {
  for (int v : {0, 1, 128, 254, 255}) {
    const std::vector<uint8_t> img(40 * 30, static_cast<uint8_t>(v));
    Output pos, neg;
    Threshold(img, 40, 30, 40, &pos);
    Threshold(img, 40, 30, 40, &neg, true);
    ASSERT_EQ(pos.ok, 1);
    for (int i = 0; i < pos.len; ++i) {
      ASSERT_EQ(pos.out[i], 255) << v;
      ASSERT_EQ(neg.out[i], 0) << v;
    }
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
