// Adaptive threshold: a pixel equal to its threshold is white, and a uniform page is all
// paper, plain or negative. Its arithmetic is pinned by the digests.
#include "imaging/adaptive_threshold.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_image.h"

namespace {

struct Output {
  int ok = 0;
  quorvel::test::imaging::Owned out;
  int len = 0;
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(out.p, out.p + len); }
};

void Threshold(const std::vector<uint8_t>& img, int w, int h, int stride, Output* o,
               bool negative = false, int block = 64, int bias = 0, float mix = 0.5f) {
  o->ok = AdaptiveThreshold(img.data(), w, h, stride, &o->out.p, &o->len, negative, 0, block, bias,
                            mix);
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

}  // namespace
