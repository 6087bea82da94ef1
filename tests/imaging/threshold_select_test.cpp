// Histogram threshold selection (the processor's member, the free function and their shared
// selection) and the processor's block-wise local threshold.
#include "imaging/threshold_select.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "imaging/adaptive_threshold.h"
#include "imaging/bmp_processing.h"

namespace {

int64_t Member(const std::vector<uint8_t>& img, uint32_t w, uint32_t h, int64_t method,
               const tagRECT* region = nullptr) {
  CBmpProcessing p;
  return p.OptimalThreshold(img.data(), static_cast<uint32_t>(img.size()), w, h, method, region);
}

TEST(ThresholdSelect, SingleLevelsAndTwoEqualPopulations) {
  for (int v : {0, 1, 77, 254, 255}) {
    const std::vector<uint8_t> img(16 * 4, static_cast<uint8_t>(v));
    const int64_t expect = v == 0 || v == 255 ? 0 : v - 1;
    for (int64_t method : {0, 1, 2, 3, 4, 9})
      EXPECT_EQ(Member(img, 16, 4, method), expect) << v << " method " << method;
    // The free function cuts an all-white page just below white.
    EXPECT_EQ(OptimalThreshold(0, img.data(), 16, 4, 16, nullptr), v == 255 ? 254 : expect);
  }
  // Populations at 50 and 200: candidates 50 (Otsu), none (Kittler-Illingworth), 50 (entropy),
  // 125 (potential); the average is 75, and the guard turns every single criterion into 125.
  std::vector<uint8_t> img(64 * 64);
  for (size_t i = 0; i < img.size(); ++i) img[i] = i % 64 < 32 ? 50 : 200;
  EXPECT_EQ(Member(img, 64, 64, 0), 75);
  for (int64_t method = 1; method <= 4; ++method) EXPECT_EQ(Member(img, 64, 64, method), 125);
  EXPECT_EQ(OptimalThreshold(0, img.data(), 64, 64, 64, nullptr), 75);
  EXPECT_EQ(OptimalThreshold(4, img.data(), 64, 64, 64, nullptr), 125);
}

TEST(ThresholdSelect, AverageOfTheFourCriteria) {
  // 1000 pixels spread around 60 and 3000 around 190 (triangular spreads).
  double hist[256] = {};
  for (int d = -12; d <= 12; ++d) {
    hist[60 + d] = 1000.0 * (13 - std::abs(d)) / 169.0;
    hist[190 + d] = 3000.0 * (13 - std::abs(d)) / 169.0;
  }
  int64_t t[5];
  for (int m = 0; m <= 4; ++m) t[m] = SelectThreshold(hist, m, 0);
  // Every criterion finds a split inside the range, so the average is their truncated mean.
  for (int a = 1; a <= 4; ++a) EXPECT_TRUE(t[a] > 48 && t[a] < 202) << a << ": " << t[a];
  EXPECT_NE(t[1], t[3]);
  EXPECT_NE(t[3], t[4]);
  EXPECT_EQ(t[0], (t[1] + t[2] + t[3] + t[4]) / 4);
}

TEST(ThresholdSelect, RegionRowsCountUpwardAndClip) {
  std::vector<uint8_t> img(4 * 8, 10);  // 4 x 8: rows 0-3 at 10, rows 4-7 at 200
  for (int i = 16; i < 32; ++i) img[i] = 200;
  const tagRECT low{0, 4, 4, 0};  // left, top, right, bottom: rows 0..3
  const tagRECT high{-5, 99, 99, 4};
  const tagRECT empty{2, 4, 2, 0};
  const tagRECT beyond{0, 20, 4, 8};
  EXPECT_EQ(Member(img, 4, 8, 0, &low), 9);
  EXPECT_EQ(Member(img, 4, 8, 0, &high), 199);
  EXPECT_EQ(Member(img, 4, 8, 0, &empty), -1);
  EXPECT_EQ(Member(img, 4, 8, 0, &beyond), -1);
  EXPECT_EQ(OptimalThreshold(0, img.data(), 4, 8, 4, &low), 9);
  EXPECT_EQ(OptimalThreshold(0, img.data(), 4, 8, 4, &empty), -1);
  EXPECT_EQ(Member(img, 4, 0, 0), -1);  // no rows
  EXPECT_EQ(OptimalThreshold(0, nullptr, 4, 8, 4, nullptr), -1);
  CBmpProcessing p;
  EXPECT_EQ(p.OptimalThreshold(img.data(), 8, 4, 8, 0, nullptr), -1);  // rows shorter than width
}

TEST(AdThresholdImgLocal, BlocksOfSixtyFourWithClippedEdges) {
  // A textured page 100 x 70: two gray populations drifting across it.
  const uint32_t w = 100, h = 70, len = w * h;
  std::vector<uint8_t> img(len);
  uint32_t seed = 12345;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int base = ((seed >> 16) & 3) == 0 ? 40 : 180;
      img[y * w + x] = static_cast<uint8_t>(base + (x + y) / 4 + ((seed >> 20) & 15));
    }
  CBmpProcessing p;
  const int64_t g = p.OptimalThreshold(img.data(), len, w, h, 0, nullptr);
  int value[2][2];  // 2 x 2 blocks, the right and bottom ones clipped to 36 columns and 6 rows
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      const tagRECT clipped{64 * j, i == 0 ? 64 : 70, j == 0 ? 64 : 100, 64 * i};
      const int64_t t = p.OptimalThreshold(img.data(), len, w, h, 0, &clipped);
      ASSERT_GE(t, 0);
      const int v = static_cast<int>(0.5f * t + 0.5f * g);
      value[i][j] = v > 254 ? 255 : (v <= 0 ? 0 : v);
    }
  for (bool negative : {false, true}) {
    std::vector<uint8_t> out(len, 77);
    uint8_t* o = out.data();
    ASSERT_EQ(p.AdThresholdImgLocal(w, h, 8, w, img.data(), len, &o, nullptr, negative, false), 1);
    const uint8_t white = negative ? 0 : 255;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        const bool above = img[y * w + x] > value[y / 64][x / 64];  // equal is black
        ASSERT_EQ(out[y * w + x], above ? white : 255 - white) << x << "," << y;
      }
  }
}

TEST(AdThresholdImgLocal, FailureWritesNothing) {
  CBmpProcessing p;
  std::vector<uint8_t> img(64, 0), out(64, 77);
  uint8_t* o = out.data();
  uint8_t* none = nullptr;
  EXPECT_EQ(p.AdThresholdImgLocal(8, 0, 8, 8, img.data(), 64, &o, nullptr, false, false), 0);
  EXPECT_EQ(p.AdThresholdImgLocal(8, 8, 8, 8, img.data(), 64, &none, nullptr, false, false), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(64, 77));  // nothing written on failure
}

}  // namespace
