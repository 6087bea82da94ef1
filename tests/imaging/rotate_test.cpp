// Rotation of 8- and 24-bit images with the turned rectangle, and black runs broken into
// dashes at 8 and 1 bits per pixel.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

struct Turned {
  bool ok = false;
  qev_test::Owned out;
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

TEST(Rotate, TurnedRectanglesInThePipelineFrame) {
  // A 3 x 2 crop at (8, 5) whose header describes the crop itself.
  const std::vector<uint8_t> src(8, 0);
  const struct {
    int16_t turn;
    tagRECT expect;
  } cases[] = {{1, {0, 0, 2, 1}}, {2, {0, 8, 1, 10}}, {0, {5, -3, 6, -1}}};
  for (const auto& c : cases) {
    Turned t;
    Turn(src, {8, 5, 10, 6}, 8, 3, 2, c.turn, &t);
    EXPECT_EQ(std::vector<int>({t.rect.left, t.rect.top, t.rect.right, t.rect.bottom}),
              std::vector<int>({c.expect.left, c.expect.top, c.expect.right, c.expect.bottom}))
        << "turn " << c.turn;
  }
}

TEST(Rotate, RefusalsLeaveEverythingAlone) {
  const std::vector<uint8_t> src(16, 0);
  Turned other, mono, inverted;
  Turn(src, {0, 0, 1, 1}, 8, 2, 2, 3, &other);
  EXPECT_TRUE(other.ok);  // not a turn: nothing to do
  EXPECT_EQ(other.out.p, nullptr);
  EXPECT_EQ(other.header.biWidth, 2);
  Turn(src, {0, 0, 1, 1}, 1, 2, 2, 2, &mono);
  Turn(src, {5, 0, 1, 1}, 8, 2, 2, 2, &inverted);  // describes no image
  EXPECT_FALSE(mono.ok || inverted.ok);
  EXPECT_EQ(mono.out.p, nullptr);
  EXPECT_EQ(inverted.out.p, nullptr);

  CBmpProcessing p;
  tagBITMAPINFOHEADER h{40, 2, 2, 1, 8, 0, 0, 0, 0, 0, 0};
  uint8_t* out = nullptr;
  uint32_t len = 0;
  tagRECT r{0, 0, 1, 1};
  EXPECT_FALSE(p.RotateImgData(nullptr, 0, r, &h, 2, &out, &len, &r));
  EXPECT_EQ(out, nullptr);
  // A caller's buffer that is too small: the size needed comes back, nothing else changes.
  uint8_t small[4] = {1, 2, 3, 4};
  out = small;
  len = sizeof(small);
  EXPECT_FALSE(p.RotateImgData(src.data(), 0, r, &h, 2, &out, &len, &r));
  EXPECT_EQ(len, 8u);
  EXPECT_EQ(small[0], 1);
  EXPECT_EQ(h.biWidth, 2);
}

TEST(ResetBlackLine, DashesAndDegenerateArguments) {
  const struct {
    uint32_t len;
    int16_t dash, gap, depth;
    std::vector<uint8_t> expect;  // 8 bits: the whitened bytes; 1 bit: the buffer
  } cases[] = {
      {10, 3, 2, 8, {3, 4}},  // the period ending at 10 stays
      {11, 3, 2, 8, {3, 4, 8, 9}},
      {5, 3, 2, 8, {}},  // period not shorter than the run
      {20, 0, 4, 8, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},  // all gap
      {20, 0, 0, 8, {}},                                                      // period 0
      {20, 5, -3, 8, {}},          // negative gap refused
      {20, -2, 5, 8, {}},          // negative dash refused
      {20, 3, 2, 4, {}},           // no such depth
      {2, 3, 0, 1, {0, 0}},        // no gap at 1 bit
      {2, 3, 2, 1, {0x06, 0x31}},  // bits 5, 6, 10, 11 and 15, most significant first
  };
  CBmpProcessing p;
  for (const auto& c : cases) {
    std::vector<uint8_t> buf(c.len + 1, 0);  // the byte past the length stays
    EXPECT_EQ(p.ResetBlackLineData(buf.data(), c.len, c.dash, c.gap, c.depth), 1);
    std::vector<uint8_t> got;
    for (uint32_t i = 0; i < c.len; ++i)
      if (c.depth == 1) {
        got.push_back(buf[i]);
      } else if (buf[i] == 255) {
        got.push_back(static_cast<uint8_t>(i));
      }
    EXPECT_EQ(got, c.expect) << c.len << " " << c.dash << "/" << c.gap << " @" << c.depth;
    EXPECT_EQ(buf[c.len], 0);
  }
  EXPECT_EQ(p.ResetBlackLineData(nullptr, 10, 3, 2, 8), 0);
}

}  // namespace
