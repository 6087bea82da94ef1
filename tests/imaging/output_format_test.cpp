// Output format conversion, worked out by hand: where each turn puts a pixel, and the gray
// weights, tone and light on the way; the digests pin crops, limits and refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/bmp_processing.h"
#include "imaging/gray_row.h"
#include "tests/support/test_image.h"

namespace {

using quorvel::test::imaging::Image;

struct Result {
  bool ok = false;
  quorvel::test::imaging::Owned out;
  uint32_t outLen = 0;
  tagBITMAPINFOHEADER header{};
  tagRECT crop{-1, -1, -1, -1};
  uint8_t* given = nullptr;  // a caller's buffer, or null to have one allocated
  uint8_t At(int x, int y) const { return out.p[static_cast<size_t>(y) * header.biWidth + x]; }
  // The crop box, then the width, height, size and depth of the header.
  std::vector<int> Frame() const {
    return {crop.left,
            crop.top,
            crop.right,
            crop.bottom,
            header.biWidth,
            header.biHeight,
            static_cast<int>(header.biSizeImage),
            header.biBitCount};
  }
};

// Rotation 3 is no turn; skip white is on unless asked otherwise.
void Convert(CBmpProcessing& p, const Image& page, Result* r, int rotation = 3, int limit = 1000,
             int skip = 1, int brightness = 0) {
  r->header.biWidth = static_cast<int32_t>(page.w);
  r->header.biHeight = static_cast<int32_t>(page.h);
  r->header.biBitCount = static_cast<uint16_t>(page.bpp);
  uint8_t* out = r->given;
  r->ok =
      p.CoverBMP2OutputFormat(page.bits.data(), static_cast<uint32_t>(page.bits.size()), &out,
                              &r->outLen, &r->header, &r->crop, rotation, 0, 0, COLORLEVELSITEM(),
                              false, brightness, 0, limit, static_cast<int16_t>(skip));
  if (r->given == nullptr) r->out.p = out;
}

TEST(OutputFormat, GrayWeightsToneAndLight) {
  Image page(5, 1, 24, 255);
  page.SetBGR(0, 0, 249, 255, 255);  // blue 249: not near-white
  page.SetBGR(1, 0, 0, 0, 255);      // pure red: 11 * 255 >> 5
  page.SetBGR(2, 0, 0, 255, 0);      // pure green: 16 * 255 >> 5
  page.SetBGR(3, 0, 250, 250, 250);  // near-white
  page.Set(4, 0, 128);
  CBmpProcessing plain;
  Result r;
  Convert(plain, page, &r, 3, 1000, 0);
  const int expect[5] = {254, 87, 127, 255, 128};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(r.At(x, 0), expect[x]) << x;

  CBmpProcessing gamma;  // tone table 0 with gamma 2 maps 128 to 64
  COLORLEVELSITEM item;
  item.gamma = 2.0f;
  gamma.SetColorLevelsData(&item, 0);
  Result g, g8;
  Convert(gamma, page, &g);
  EXPECT_EQ(g.At(4, 0), 64);
  Image gray(3, 1, 8, 250);  // 8-bit: 250 is near-white before any table, 249 is not
  gray.Set(1, 0, 249);
  gray.Set(2, 0, 0);
  Convert(gamma, gray, &g8, 3, 1000, 0);
  EXPECT_EQ(std::vector<uint8_t>(g8.out.p, g8.out.p + 3), (std::vector<uint8_t>{255, 243, 0}));
  CBmpProcessing light;  // brightness 50 through Light; without it the table is not consulted
  light.SetLightTable(50, 0);
  Result lit, unlit;
  Convert(light, page, &lit, 3, 1000, 1, 50);
  Convert(light, page, &unlit);
  EXPECT_EQ(lit.At(4, 0), 178);
  EXPECT_EQ(unlit.At(4, 0), 128);
}

TEST(OutputFormat, PixelsLandWhereTheTurnPutsThem) {
  // Source pixel (x, y) of a 3 x 2 page and the {column, row} where each turn puts it.
  const struct {
    int rotation, rows;
    int expect[2][3][2];
  } cases[] = {// Counter-clockwise: the top-right pixel lands at (0, 0), the bottom-left at (1, 2).
               {0, 3, {{{0, 2}, {0, 1}, {0, 0}}, {{1, 2}, {1, 1}, {1, 0}}}},
               {1, 2, {{{2, 1}, {1, 1}, {0, 1}}, {{2, 0}, {1, 0}, {0, 0}}}},
               {2, 3, {{{1, 0}, {1, 1}, {1, 2}}, {{0, 0}, {0, 1}, {0, 2}}}},
               {3, 2, {{{0, 0}, {1, 0}, {2, 0}}, {{0, 1}, {1, 1}, {2, 1}}}},
               {-7, 2, {{{0, 0}, {1, 0}, {2, 0}}, {{0, 1}, {1, 1}, {2, 1}}}}};
  for (const auto& c : cases)
    for (uint32_t bits : {8u, 24u}) {
      Image page(3, 2, bits, 255);
      for (uint32_t i = 0; i < 6; ++i) page.Set(i % 3, i / 3, static_cast<uint8_t>(10 + 10 * i));
      CBmpProcessing p;
      Result r;
      Convert(p, page, &r, c.rotation, 1000, 0);
      EXPECT_EQ(r.header.biHeight, c.rows);
      for (int i = 0; i < 6; ++i) {
        const int* at = c.expect[i / 3][i % 3];
        EXPECT_EQ(r.At(at[0], at[1]), 10 + 10 * i)
            << "turn " << c.rotation << " @" << bits << " " << i;
      }
    }
}

TEST(OutputFormat, LentBuffersGiveTheBytesOfFreshOnes) {
  // Pages a job's buffers meet in turn: growing, shrinking, a turn whose crop is wider than
  // the frame (columns past it must come out white, not as the lent buffer's old bytes), and
  // a column limit. The lent buffers start empty and are never cleared in between.
  Image dots(20, 8, 24, 255), tall(5, 3, 24, 255), wide(40, 30, 24, 200);
  dots.Set(13, 5, 0);
  dots.Set(2, 1, 0);
  tall.Set(1, 2, 0);
  const struct {
    const Image* page;
    int rotation, limit, skip;
  } pages[] = {{&dots, 3, 1000, 1}, {&wide, 3, 1000, 0}, {&tall, 0, 1000, 0},
               {&dots, 2, 1000, 1}, {&wide, 1, 25, 0},   {&tall, 3, 1000, 0}};
  CBmpProcessing::ReusableBuffer frame, result;
  for (const auto& c : pages) {
    SCOPED_TRACE(testing::Message() << c.page->w << "x" << c.page->h << " turn " << c.rotation);
    CBmpProcessing fresh, lending;
    Result expected, lent;
    Convert(fresh, *c.page, &expected, c.rotation, c.limit, c.skip);
    if (result.data) memset(result.data, 0, result.capacity);  // old page: black
    lending.SetConversionBuffers(&frame, &result);
    uint8_t* out = nullptr;
    lent.header = tagBITMAPINFOHEADER{};
    lent.header.biWidth = static_cast<int32_t>(c.page->w);
    lent.header.biHeight = static_cast<int32_t>(c.page->h);
    lent.header.biBitCount = static_cast<uint16_t>(c.page->bpp);
    lent.ok = lending.CoverBMP2OutputFormat(
        c.page->bits.data(), static_cast<uint32_t>(c.page->bits.size()), &out, &lent.outLen,
        &lent.header, &lent.crop, c.rotation, 0, 0, COLORLEVELSITEM(), false, 0, 0, c.limit,
        static_cast<int16_t>(c.skip));
    ASSERT_TRUE(expected.ok && lent.ok);
    EXPECT_EQ(out, result.data) << "the result is the lent buffer";
    EXPECT_GE(result.capacity, lent.outLen);
    EXPECT_EQ(lent.Frame(), expected.Frame());
    ASSERT_EQ(lent.outLen, expected.outLen);
    EXPECT_EQ(std::vector<uint8_t>(out, out + lent.outLen),
              std::vector<uint8_t>(expected.out.p, expected.out.p + expected.outLen));
  }
  free(frame.data);
  free(result.data);
}

TEST(OutputFormat, FastGrayRowMatchesThePlainOne) {
  // Widths around the eight-pixel step; bytes drawn from both sides of the near-white border
  // (249/250) and the extremes, so that every mix of near-white channels occurs.
  const uint8_t values[] = {0, 1, 128, 248, 249, 250, 251, 254, 255};
  for (int64_t width : {0, 1, 7, 8, 9, 15, 16, 17, 812}) {
    std::vector<uint8_t> src(3 * width);
    for (size_t i = 0; i < src.size(); ++i) src[i] = values[(i * 7 + i / 5 + width) % 9];
    std::vector<uint8_t> fast(width + 1, 0x5a), plain(width + 1, 0x5a);
    GrayRowBgr(src.data(), width, fast.data());
    GrayRowBgrPlain(src.data(), width, plain.data());
    EXPECT_EQ(fast, plain) << "width " << width;  // the byte past the row included
  }
}

}  // namespace
