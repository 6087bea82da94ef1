// Histogram threshold selection, worked out by hand: single levels and two equal
// populations through every criterion.
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

}  // namespace
