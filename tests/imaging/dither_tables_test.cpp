// Properties of the constant dithering matrices, above all the 40 x 40 matrix of method 5,
// whose rows beyond the first two were built here, and the sequences behind T7 and M9.
#include "imaging/dither_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

TEST(DitherTables, M5ValuesAndDefiningRows) {
  int count[256] = {};
  for (const auto& row : kDitherM5)
    for (uint8_t v : row) ++count[v];
  for (int v = 0; v < 255; ++v) EXPECT_EQ(count[v] > 0, v != 0 && v != 166) << v;
  EXPECT_EQ(count[255], 19);
  const uint8_t rows[2][40] = {
      {1, 154, 250, 72, 132, 30, 186, 228, 93, 108, 7,  162, 253, 63, 139, 36, 192, 234, 99,  103,
       2, 155, 251, 70, 131, 30, 184, 227, 92, 111, 10, 163, 254, 65, 140, 37, 194, 237, 101, 102},
      {51, 140, 38, 194, 218, 81, 119, 17, 172, 247, 58, 148, 45, 201, 213, 86, 125, 24, 178, 239,
       52, 143, 40, 196, 221, 79, 118, 17, 170, 247, 59, 150, 47, 204, 215, 88, 127, 25, 180, 237}};
  for (int r = 0; r < 2; ++r) EXPECT_TRUE(std::equal(rows[r], rows[r] + 40, kDitherM5[r])) << r;
}

TEST(DitherTables, M5IsATwentyPatternRepeatedWithSmallVariations) {
  double across = 0, down = 0;
  for (int r = 0; r < 40; ++r)
    for (int c = 0; c < 20; ++c) {
      const int a = std::abs(kDitherM5[r][c] - kDitherM5[r][c + 20]);
      const int d = std::abs(kDitherM5[c][r] - kDitherM5[c + 20][r]);
      EXPECT_LE(a, 12) << r << "," << c;
      EXPECT_LE(d, 12) << c << "," << r;
      across += a;
      down += d;
    }
  EXPECT_LT(across / 800, 3.0);
  EXPECT_LT(down / 800, 3.0);
}

TEST(DitherTables, M5PrintsItsShareOfDotsEvenlySpread) {
  // Method 5 prints a dot where 0 < v < 250 and v < M5: at every level the share of dots
  // follows the gray, and each aligned 10 x 10 tile holds within 2 dots of the tile average.
  for (int v = 1; v < 250; ++v) {
    int tiles[4][4] = {}, total = 0;
    for (int r = 0; r < 40; ++r)
      for (int c = 0; c < 40; ++c)
        if (v < kDitherM5[r][c]) {
          ++tiles[r / 10][c / 10];
          ++total;
        }
    EXPECT_NEAR(total / 1600.0, (255.0 - v) / 255.0, 0.01) << v;
    for (const auto& row : tiles)
      for (int n : row) ASSERT_LE(std::abs(n - total / 16.0), 2.0) << "level " << v;
  }
}

TEST(DitherTables, T7RowsFollowTheSequenceAndM9HoldsEachLevelOnce) {
  const int seq[15] = {1, 6, 5, 0, 13, 14, 3, 12, 8, 9, 15, 7, 11, 10, 4};
  std::vector<int> sorted(seq, seq + 15);
  std::sort(sorted.begin(), sorted.end());
  for (int r = 0; r < 15; ++r) {
    // Row r starts at position 11 r (mod 15); the fifteenth column completes the permutation.
    for (int c = 0; c < 14; ++c) EXPECT_EQ(kDitherT7[r][c], seq[(11 * r + c) % 15]) << r << c;
    std::vector<int> row(kDitherT7[r], kDitherT7[r] + 15);
    std::sort(row.begin(), row.end());
    EXPECT_EQ(row, sorted) << r;
  }
  std::vector<int> m9;
  for (const auto& row : kDitherM9) m9.insert(m9.end(), row, row + 16);
  std::sort(m9.begin(), m9.end());
  for (int i = 0; i < 128; ++i) EXPECT_EQ(m9[i], i + 1);
}

}  // namespace
