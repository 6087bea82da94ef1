// Area shrink: the column and row split rules (strict for columns, inclusive for rows), and
// a uniform image staying exactly uniform at every size and depth.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

using quorvel::test::imaging::Image;

const tagColorCFG kNoTone{};
const tagRECT kNoRect{0, 0, 0, 0};

int Shrink(CBmpProcessing& p, Image& src, Image& dst, tagColorCFG cfg = kNoTone,
           tagRECT rect = kNoRect) {
  uint8_t* out = dst.bits.data();
  return p.InvoicQIShrinkImg2(src.w, src.h, src.bpp, src.stride, src.bits.data(), nullptr, dst.w,
                              dst.h, dst.bpp, &out, nullptr, static_cast<uint32_t>(dst.bits.size()),
                              cfg, kNoTone, rect);
}

TEST(InvoicQIShrinkImg2, ColumnsCloseStrictlyRowsInclusively) {
  CBmpProcessing p;
  Image src(10, 10, 8), dst(5, 5, 8);
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 10; ++x) src.Set(x, y, static_cast<uint8_t>(10 * x + y));
  ASSERT_EQ(Shrink(p, src, dst), 1);
  // Columns 0-2, 3-4, 5-6, 7-8, 9; rows 0-1, 2-3, ..., 8-9 (row means .5, truncated).
  const int colMean[5] = {10, 35, 55, 75, 90};
  for (uint32_t r = 0; r < 5; ++r)
    for (uint32_t k = 0; k < 5; ++k) EXPECT_EQ(dst.At(k, r), colMean[k] + 2 * r) << k << "," << r;

  Image three(3, 1, 24, {10, 31, 200}), two(2, 1, 24);
  ASSERT_EQ(Shrink(p, three, two), 1);
  EXPECT_EQ(two.Grays(), (std::vector<uint8_t>{20, 200}));  // (10 + 31) / 2, then column 2
}

// Every source pixel lands in exactly one destination pixel, so a uniform image stays exactly
// uniform at every size and depth.
struct ShrinkCase {
  uint32_t sw, sh, dw, dh, bpp;
};

class UniformShrink : public ::testing::TestWithParam<ShrinkCase> {};

TEST_P(UniformShrink, StaysUniform) {
  const ShrinkCase c = GetParam();
  CBmpProcessing p;
  Image src(c.sw, c.sh, c.bpp, 123), dst(c.dw, c.dh, c.bpp, 0);
  ASSERT_EQ(Shrink(p, src, dst), 1);
  for (uint32_t y = 0; y < c.dh; ++y)
    for (uint32_t i = 0; i < c.dw * c.bpp / 8; ++i) ASSERT_EQ(dst.bits[y * dst.stride + i], 123);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UniformShrink,
    ::testing::Values(ShrinkCase{10, 10, 5, 5, 8}, ShrinkCase{600, 900, 203, 304, 24},
                      ShrinkCase{7, 3, 7, 3, 24}, ShrinkCase{97, 61, 13, 60, 8},
                      ShrinkCase{5, 5, 1, 1, 24}, ShrinkCase{300, 2, 203, 1, 8}));

}  // namespace
