// Rotation, worked out by hand: pixels move whole and turned rows are padded white. The
// digests pin the rectangles, refusals and dashes.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

struct Turned {
  bool ok = false;
  quorvel::test::imaging::Owned out;
  uint32_t len = 0;
  tagBITMAPINFOHEADER header{};
  tagRECT rect{};
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(out.p, out.p + len); }
};

void Turn(const std::vector<uint8_t>& src, tagRECT rect, int bits, int frameW, int frameH,
          int16_t turn, Turned* t) {
  CBmpProcessing p;
  t->header.biWidth = frameW;
  t->header.biHeight = frameH;
  t->header.biBitCount = static_cast<uint16_t>(bits);
  t->rect = rect;
  t->ok = p.RotateImgData(src.data(), static_cast<uint32_t>(src.size()), rect, &t->header, turn,
                          &t->out.p, &t->len, &t->rect);
}

TEST(Rotate, PixelsMoveWholeAndRowsArePaddedWhite) {
  const std::vector<uint8_t> ab = {'A', 'B', 0, 0};  // 2 x 1 at 8 bits, padded to 4 bytes
  Turned cw, ccw, half;
  Turn(ab, {0, 0, 1, 0}, 8, 2, 1, 2, &cw);
  Turn(ab, {0, 0, 1, 0}, 8, 2, 1, 0, &ccw);
  Turn(ab, {0, 0, 1, 0}, 8, 2, 1, 1, &half);
  ASSERT_TRUE(cw.ok && ccw.ok && half.ok);
  EXPECT_EQ(cw.Bytes(), (std::vector<uint8_t>{'A', 255, 255, 255, 'B', 255, 255, 255}));
  EXPECT_EQ(ccw.Bytes(), (std::vector<uint8_t>{'B', 255, 255, 255, 'A', 255, 255, 255}));
  EXPECT_EQ(half.Bytes(), (std::vector<uint8_t>{'B', 'A', 255, 255}));
  EXPECT_EQ(std::make_pair(cw.header.biWidth, cw.header.biHeight), std::make_pair(1, 2));
  EXPECT_EQ(std::make_pair(half.header.biWidth, half.header.biHeight), std::make_pair(2, 1));
  EXPECT_EQ(cw.header.biSizeImage, 8u);

  Turned rgb;  // pixels (1,2,3) and (4,5,6), stride 8
  Turn({1, 2, 3, 4, 5, 6, 0, 0}, {0, 0, 1, 0}, 24, 2, 1, 2, &rgb);
  EXPECT_EQ(rgb.Bytes(), (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
  EXPECT_EQ(rgb.header.biBitCount, 24);
}

}  // namespace
