// Bitmap packing of the page output at every sub-byte offset and mirrored: each image dot lands
// in its own bit of its own row (the placed cases are in render_cases.txt).
#include "render/page_output.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TEST(PageOutput, PackingKeepsEveryDotInPlace) {
  // 45 columns: every sub-byte offset meets the sixteen- and the eight-pixel steps and a tail.
  // Every gray but 255 prints, light ones (128..254) too.
  std::mt19937 rng(7);
  const int w = 45, h = 3, stride = 48;
  std::vector<uint8_t> px(stride * h, 255);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[y * stride + x] = rng() % 3 == 0 ? rng() % 255 : 255;
  for (int left = 0; left < 8; ++left) {
    const auto geo = quorvel::render::OutputGeometry({left, 0, left + w - 1, h - 1}, false, 0);
    std::vector<uint8_t> bits(static_cast<size_t>(geo.bytesPerRow) * h, 0);
    quorvel::render::PackBitmap({px.data(), w, h, stride}, geo, false, bits.data());
    for (int y = 0; y < h; ++y) {
      for (int dot = 0; dot < geo.bytesPerRow * 8; ++dot) {
        const int x = dot - left;  // the image starts at dot `left`, the buffer at dot 0
        const bool inked = x >= 0 && x < w && px[y * stride + x] != 255;
        const bool bit = (bits[y * geo.bytesPerRow + dot / 8] >> (7 - dot % 8)) & 1;
        EXPECT_EQ(bit, !inked) << "left " << left << " row " << y << " dot " << dot;
      }
    }
  }
  // Mirrored, (1, 0, 15, 1) becomes (-15, 0, -1, 1): one byte a row for 15 black columns; the
  // row keeps to its byte instead of spilling into the white next row or past the buffer.
  std::vector<uint8_t> wide(16 * 2, 255);
  for (int x = 0; x < 15; ++x) wide[x] = 0;
  const auto geo = quorvel::render::OutputGeometry({1, 0, 15, 1}, true, 0);
  ASSERT_EQ(geo.bytesPerRow, 1);
  std::vector<uint8_t> bits(3, 0x5A);
  quorvel::render::PackBitmap({wide.data(), 15, 2, 16}, geo, true, bits.data());
  EXPECT_EQ(bits, (std::vector<uint8_t>{0x00, 0xFF, 0x5A}));
}

}  // namespace
