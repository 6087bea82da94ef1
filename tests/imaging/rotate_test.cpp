// Rotation of 8- and 24-bit images with the turned rectangle, and black runs broken into
// dashes at 8 and 1 bits per pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

struct Turned {
  bool ok = false;
  uint8_t* out = nullptr;
  uint32_t len = 0;
  tagBITMAPINFOHEADER header{};
  tagRECT rect{};
  ~Turned() { std::free(out); }
};

void Turn(const std::vector<uint8_t>& src, tagRECT rect, int bits, int frameW, int frameH,
          int16_t turn, Turned* t) {
  CBmpProcessing p;
  t->header.biWidth = frameW;
  t->header.biHeight = frameH;
  t->header.biBitCount = static_cast<uint16_t>(bits);
  t->rect = rect;
  t->ok = p.RotateImgData(src.data(), static_cast<uint32_t>(src.size()), rect, &t->header, turn,
                          &t->out, &t->len, &t->rect);
}

TEST(Rotate, TwoPixelImageTurnsAsStated) {
  const std::vector<uint8_t> src = {'A', 'B', 0, 0};  // one row, padded to 4 bytes
  Turned cw, ccw, half;
  Turn(src, {0, 0, 1, 0}, 8, 2, 1, 2, &cw);
  Turn(src, {0, 0, 1, 0}, 8, 2, 1, 0, &ccw);
  Turn(src, {0, 0, 1, 0}, 8, 2, 1, 1, &half);
  ASSERT_TRUE(cw.ok && ccw.ok && half.ok);
  // Quarter turns: 1 wide, 2 high, each row padded to 4 bytes.
  EXPECT_EQ(cw.header.biWidth, 1);
  EXPECT_EQ(cw.header.biHeight, 2);
  EXPECT_EQ(cw.header.biSizeImage, 8u);
  EXPECT_EQ(cw.len, 8u);
  EXPECT_EQ(cw.out[0], 'A');
  EXPECT_EQ(cw.out[4], 'B');
  EXPECT_EQ(ccw.out[0], 'B');
  EXPECT_EQ(ccw.out[4], 'A');
  EXPECT_EQ(cw.out[1], 255);  // padding is white
  EXPECT_EQ(half.out[0], 'B');
  EXPECT_EQ(half.out[1], 'A');
  EXPECT_EQ(half.header.biWidth, 2);
  EXPECT_EQ(half.header.biHeight, 1);
}

TEST(Rotate, TwentyFourBitPixelsMoveWhole) {
  // 2 x 1 image of pixels (1,2,3) and (4,5,6); the stride is 8 bytes.
  const std::vector<uint8_t> src = {1, 2, 3, 4, 5, 6, 0, 0};
  Turned cw;
  Turn(src, {0, 0, 1, 0}, 24, 2, 1, 2, &cw);
  ASSERT_TRUE(cw.ok);
  EXPECT_EQ(cw.header.biSizeImage, 8u);  // 1 pixel per row, stride 4, 2 rows
  EXPECT_EQ(cw.header.biBitCount, 24);
  const std::vector<uint8_t> expect = {1, 2, 3, 255, 4, 5, 6, 255};
  EXPECT_EQ(std::vector<uint8_t>(cw.out, cw.out + 8), expect);
}

TEST(Rotate, TurnedRectanglesInThePipelineFrame) {
  // A 3 x 2 crop whose header describes the crop itself.
  std::vector<uint8_t> src(8, 0);
  Turned half, cw, ccw;
  Turn(src, {8, 5, 10, 6}, 8, 3, 2, 1, &half);
  Turn(src, {8, 5, 10, 6}, 8, 3, 2, 2, &cw);
  Turn(src, {8, 5, 10, 6}, 8, 3, 2, 0, &ccw);
  // Half turn: L + Fw - 1 - R = 0, T + Fh - 1 - B = 0.
  EXPECT_EQ(half.rect.left, 0);
  EXPECT_EQ(half.rect.top, 0);
  EXPECT_EQ(half.rect.right, 2);
  EXPECT_EQ(half.rect.bottom, 1);
  // Clockwise: left T + Fh - 1 - B = 0, top L = 8, right left + h - 1 = 1, bottom R = 10.
  EXPECT_EQ(cw.rect.left, 0);
  EXPECT_EQ(cw.rect.top, 8);
  EXPECT_EQ(cw.rect.right, 1);
  EXPECT_EQ(cw.rect.bottom, 10);
  // Counter-clockwise: left T = 5, top T + Fw - 1 - R = -3, right T + h - 1 = 6, bottom -1.
  EXPECT_EQ(ccw.rect.left, 5);
  EXPECT_EQ(ccw.rect.top, -3);
  EXPECT_EQ(ccw.rect.right, 6);
  EXPECT_EQ(ccw.rect.bottom, -1);
}

TEST(Rotate, RefusalsLeaveEverythingAlone) {
  const std::vector<uint8_t> src(16, 0);
  Turned other;
  Turn(src, {0, 0, 1, 1}, 8, 2, 2, 3, &other);
  EXPECT_TRUE(other.ok);  // not a turn: nothing to do
  EXPECT_EQ(other.out, nullptr);
  EXPECT_EQ(other.header.biWidth, 2);
  EXPECT_EQ(other.rect.right, 1);

  Turned mono;
  Turn(src, {0, 0, 1, 1}, 1, 2, 2, 2, &mono);
  EXPECT_FALSE(mono.ok);
  EXPECT_EQ(mono.out, nullptr);

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

  // A large caller's buffer is whitened over its whole length, then filled.
  std::vector<uint8_t> big(12, 9);
  out = big.data();
  len = 12;
  EXPECT_TRUE(p.RotateImgData(src.data(), 0, r, &h, 1, &out, &len, &r));
  EXPECT_EQ(big[0], 0);
  EXPECT_EQ(big[2], 255);
  EXPECT_EQ(big[11], 255);
}

std::vector<int> WhiteBytes(const std::vector<uint8_t>& buf) {
  std::vector<int> white;
  for (size_t i = 0; i < buf.size(); ++i)
    if (buf[i] == 255) white.push_back(static_cast<int>(i));
  return white;
}

TEST(ResetBlackLine, EightBitDashes) {
  CBmpProcessing p;
  std::vector<uint8_t> ten(10, 0), eleven(11, 0), short_run(5, 0);
  EXPECT_EQ(p.ResetBlackLineData(ten.data(), 10, 3, 2, 8), 1);
  EXPECT_EQ(WhiteBytes(ten), (std::vector<int>{3, 4}));  // the period ending at 10 stays
  p.ResetBlackLineData(eleven.data(), 11, 3, 2, 8);
  EXPECT_EQ(WhiteBytes(eleven), (std::vector<int>{3, 4, 8, 9}));
  p.ResetBlackLineData(short_run.data(), 5, 3, 2, 8);  // period not shorter than the run
  EXPECT_TRUE(WhiteBytes(short_run).empty());
}

TEST(ResetBlackLine, OneBitDashes) {
  CBmpProcessing p;
  uint8_t bits[3] = {0, 0, 0xAA};  // the third byte lies beyond the length and stays
  EXPECT_EQ(p.ResetBlackLineData(bits, 2, 3, 2, 1), 1);
  // Bits 5, 6, 10, 11 and 15 set, most significant bit first.
  EXPECT_EQ(bits[0], 0x06);
  EXPECT_EQ(bits[1], 0x31);
  EXPECT_EQ(bits[2], 0xAA);
}

TEST(ResetBlackLine, DegenerateArguments) {
  CBmpProcessing p;
  EXPECT_EQ(p.ResetBlackLineData(nullptr, 10, 3, 2, 8), 0);
  std::vector<uint8_t> buf(20, 0);
  EXPECT_EQ(p.ResetBlackLineData(buf.data(), 20, 0, 0, 8), 1);   // period 0
  EXPECT_EQ(p.ResetBlackLineData(buf.data(), 20, 5, -3, 8), 1);  // negative gap refused
  EXPECT_EQ(p.ResetBlackLineData(buf.data(), 20, -2, 5, 8), 1);  // negative dash refused
  EXPECT_EQ(p.ResetBlackLineData(buf.data(), 20, 3, 2, 4), 1);   // no such depth
  EXPECT_EQ(p.ResetBlackLineData(buf.data(), 20, 3, 0, 1), 1);   // no gap at 1 bit
  EXPECT_TRUE(WhiteBytes(buf).empty());
  EXPECT_EQ(p.ResetBlackLineData(buf.data(), 20, 0, 4, 8), 1);  // all gap: every whole period
  EXPECT_EQ(WhiteBytes(buf).size(), 16u);
}

}  // namespace
