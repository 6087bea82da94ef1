// Output format conversion: turns, tone and gray, near-white skipping, the column limit and
// the byte-aligned crop, checked on pages small enough to work out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/support/test_image.h"

namespace {

using qev_test::Image;

struct Result {
  bool ok = false;
  qev_test::Owned out;
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

TEST(OutputFormat, EmptyResults) {
  // A near-white page with skip white, and a page whose content lies only beyond the column
  // limit: true, a 0 x 0 header at 8 bits, a zero crop and no buffer.
  Image blank(30, 20, 24, 255), beyond(20, 4, 24, 255);
  blank.SetBGR(4, 4, 250, 250, 250);
  beyond.Set(15, 2, 0);
  for (const Image* page : {&blank, &beyond}) {
    CBmpProcessing p;
    Result r;
    Convert(p, *page, &r, 3, 10);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.out.p == nullptr && r.outLen == 0);
    EXPECT_EQ(r.Frame(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 8}));
  }
}

TEST(OutputFormat, CropBoxes) {
  CBmpProcessing p;
  Result whole;  // without skip the box is the whole turned page: 5 rows of 3 columns
  Convert(p, Image(5, 3, 24, 255), &whole, 0, 1000, 0);
  ASSERT_TRUE(whole.ok);
  EXPECT_EQ(whole.Frame(), (std::vector<int>{0, 0, 7, 4, 8, 5, 40, 8}));
  EXPECT_EQ(std::vector<uint8_t>(whole.out.p, whole.out.p + whole.outLen),
            std::vector<uint8_t>(40, 255));

  Image page(20, 8, 24, 255);  // one black pixel at column 13, row 5: cropped to its byte
  page.Set(13, 5, 0);
  Result one;
  Convert(p, page, &one);
  EXPECT_EQ(one.Frame(), (std::vector<int>{8, 5, 15, 5, 8, 1, 8, 8}));
  for (int x = 0; x < 8; ++x) EXPECT_EQ(one.At(x, 0), x == 5 ? 0 : 255) << x;

  // Column limit 10: content beyond it extends the rows but not the columns, and columns
  // past the limit but inside the rounded width stay white.
  Image wide(20, 4, 8, 255);
  wide.Set(3, 1, 0);
  for (uint32_t x = 0; x < 20; ++x) wide.Set(x, 2, 0);
  wide.Set(15, 3, 0);
  Result cut;
  Convert(p, wide, &cut, 3, 10);
  EXPECT_EQ(cut.Frame(), (std::vector<int>{0, 1, 15, 3, 16, 3, 48, 8}));
  EXPECT_EQ(cut.At(3, 0), 0);
  for (int x = 0; x < 16; ++x) {
    EXPECT_EQ(cut.At(x, 1), x < 10 ? 0 : 255) << x;
    EXPECT_EQ(cut.At(x, 2), 255) << x;
  }
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

TEST(OutputFormat, CallerBuffersAndRefusals) {
  CBmpProcessing p;
  Image page(20, 8, 24, 255);
  page.Set(13, 5, 0);
  uint8_t tiny[4] = {};
  Result small;  // too small: false, nothing copied, the header and crop updated all the same
  small.given = tiny;
  small.outLen = sizeof(tiny);
  Convert(p, page, &small);
  EXPECT_FALSE(small.ok);
  EXPECT_EQ(small.outLen, 4u);
  EXPECT_EQ(small.Frame(), (std::vector<int>{8, 5, 15, 5, 8, 1, 8, 8}));
  // No source, or a depth other than 8 and 24.
  Result none, deep;
  EXPECT_FALSE(p.CoverBMP2OutputFormat(nullptr, 0, &none.out.p, &none.outLen, &none.header,
                                       &none.crop, 3, 0, 0, COLORLEVELSITEM(), false, 0, 0, 100,
                                       1));
  Convert(p, Image(4, 2, 32), &deep);
  EXPECT_FALSE(deep.ok);
}

}  // namespace
