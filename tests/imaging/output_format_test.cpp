// Output format conversion: turns, tone and gray, near-white skipping, the column limit and
// the byte-aligned crop, checked on pages small enough to work out by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

int Stride(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

// A page of w x h pixels at 8 or 24 bits, every pixel white until set.
struct Page {
  int w, h, bits;
  std::vector<uint8_t> data;
  Page(int w_, int h_, int bits_)
      : w(w_), h(h_), bits(bits_), data(static_cast<size_t>(Stride(w_, bits_)) * h_, 255) {}
  void Set(int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* p = &data[static_cast<size_t>(y) * Stride(w, bits) + x * (bits / 8)];
    p[0] = b;
    if (bits == 24) {
      p[1] = g;
      p[2] = r;
    }
  }
  void SetGray(int x, int y, uint8_t v) { Set(x, y, v, v, v); }
};

struct Result {
  bool ok = false;
  uint8_t* out = nullptr;
  uint32_t outLen = 0;
  tagBITMAPINFOHEADER header{};
  tagRECT crop{-1, -1, -1, -1};
  ~Result() { std::free(out); }
  uint8_t At(int x, int y) const { return out[static_cast<size_t>(y) * header.biWidth + x]; }
};

void Convert(CBmpProcessing& p, const Page& page, int rotation, int limit, int skip, Result* r,
             int brightness = 0, int contrast = 0) {
  r->header.biWidth = page.w;
  r->header.biHeight = page.h;
  r->header.biBitCount = static_cast<uint16_t>(page.bits);
  r->ok =
      p.CoverBMP2OutputFormat(page.data.data(), static_cast<uint32_t>(page.data.size()), &r->out,
                              &r->outLen, &r->header, &r->crop, rotation, 0, 0, COLORLEVELSITEM(),
                              false, brightness, contrast, limit, static_cast<int16_t>(skip));
}

TEST(OutputFormat, BlankPageWithSkipWhiteIsEmpty) {
  CBmpProcessing p;
  Page page(30, 20, 24);
  page.Set(4, 4, 250, 250, 250);  // near-white counts as blank
  Result r;
  Convert(p, page, 3, 1000, 1, &r);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.out, nullptr);
  EXPECT_EQ(r.outLen, 0u);
  EXPECT_EQ(r.header.biWidth, 0);
  EXPECT_EQ(r.header.biHeight, 0);
  EXPECT_EQ(r.header.biBitCount, 8);
  EXPECT_EQ(r.header.biSizeImage, 0u);
  EXPECT_EQ(r.crop.left | r.crop.top | r.crop.right | r.crop.bottom, 0);
}

TEST(OutputFormat, WithoutSkipTheCropIsTheWholeTurnedPage) {
  CBmpProcessing p;
  Page page(5, 3, 24);
  Result r;
  Convert(p, page, 0, 1000, 0, &r);  // quarter turn: 5 rows of 3 columns
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.crop.left, 0);
  EXPECT_EQ(r.crop.top, 0);
  EXPECT_EQ(r.crop.right, 7);
  EXPECT_EQ(r.crop.bottom, 4);
  EXPECT_EQ(r.header.biWidth, 8);
  EXPECT_EQ(r.header.biHeight, 5);
  EXPECT_EQ(r.header.biSizeImage, 40u);
  EXPECT_EQ(r.outLen, 40u);
  for (uint32_t i = 0; i < r.outLen; ++i) ASSERT_EQ(r.out[i], 255);
}

TEST(OutputFormat, OneBlackPixelCropsToItsByte) {
  CBmpProcessing p;
  Page page(20, 8, 24);
  page.Set(13, 5, 0, 0, 0);
  Result r;
  Convert(p, page, 3, 1000, 1, &r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.crop.left, 8);
  EXPECT_EQ(r.crop.top, 5);
  EXPECT_EQ(r.crop.right, 15);
  EXPECT_EQ(r.crop.bottom, 5);
  EXPECT_EQ(r.header.biWidth, 8);
  EXPECT_EQ(r.header.biHeight, 1);
  EXPECT_EQ(r.header.biSizeImage, 8u);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(r.At(x, 0), x == 5 ? 0 : 255) << x;
}

TEST(OutputFormat, GrayWeightsAndNearWhite) {
  CBmpProcessing p;
  Page page(4, 1, 24);
  page.Set(0, 0, 249, 255, 255);  // blue 249: not near-white
  page.Set(1, 0, 0, 0, 255);      // pure red: 11 * 255 >> 5
  page.Set(2, 0, 0, 255, 0);      // pure green: 16 * 255 >> 5
  page.Set(3, 0, 250, 250, 250);  // near-white
  Result r;
  Convert(p, page, 3, 1000, 0, &r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.At(0, 0), 254);
  EXPECT_EQ(r.At(1, 0), 87);
  EXPECT_EQ(r.At(2, 0), 127);
  EXPECT_EQ(r.At(3, 0), 255);

  Result skipped;
  Convert(p, page, 3, 1000, 1, &skipped);
  EXPECT_EQ(skipped.crop.left, 0);
  EXPECT_EQ(skipped.crop.right, 7);  // columns 0..2 hold content; the near-white one does not
}

// Source pixel (x, y) of a 3 x 2 page, listed with where each turn puts it.
struct TurnCase {
  int rotation;
  int rows;             // rows of the turned page
  int expect[2][3][2];  // [y][x] -> {column, row}
};

class OutputFormatTurn : public ::testing::TestWithParam<TurnCase> {};

TEST_P(OutputFormatTurn, PixelsLandWhereTheTurnPutsThem) {
  const TurnCase& c = GetParam();
  for (int bits : {8, 24}) {
    Page page(3, 2, bits);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) page.SetGray(x, y, static_cast<uint8_t>(10 + 10 * (y * 3 + x)));
    CBmpProcessing p;
    Result r;
    Convert(p, page, c.rotation, 1000, 0, &r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.biHeight, c.rows);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(r.At(c.expect[y][x][0], c.expect[y][x][1]), 10 + 10 * (y * 3 + x))
            << "rotation " << c.rotation << " bits " << bits << " pixel " << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, OutputFormatTurn,
    ::testing::Values(
        // Counter-clockwise: the top-right pixel lands at (0, 0), the bottom-left at (1, 2).
        TurnCase{0, 3, {{{0, 2}, {0, 1}, {0, 0}}, {{1, 2}, {1, 1}, {1, 0}}}},
        TurnCase{1, 2, {{{2, 1}, {1, 1}, {0, 1}}, {{2, 0}, {1, 0}, {0, 0}}}},
        TurnCase{2, 3, {{{1, 0}, {1, 1}, {1, 2}}, {{0, 0}, {0, 1}, {0, 2}}}},
        TurnCase{3, 2, {{{0, 0}, {1, 0}, {2, 0}}, {{0, 1}, {1, 1}, {2, 1}}}},
        TurnCase{-7, 2, {{{0, 0}, {1, 0}, {2, 0}}, {{0, 1}, {1, 1}, {2, 1}}}}));

TEST(OutputFormat, ColumnLimitCutsColumnsButContentStillExtendsRows) {
  CBmpProcessing p;
  Page page(20, 4, 8);
  page.SetGray(3, 1, 0);
  page.SetGray(15, 3, 0);  // beyond the limit of 10 columns
  Result r;
  Convert(p, page, 3, 10, 1, &r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.crop.left, 0);
  EXPECT_EQ(r.crop.right, 7);
  EXPECT_EQ(r.crop.top, 1);
  EXPECT_EQ(r.crop.bottom, 3);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(r.At(x, 2), 255);
  EXPECT_EQ(r.At(3, 0), 0);

  // Columns past the limit but inside the rounded width keep white.
  Page wide(20, 1, 8);
  for (int x = 0; x < 20; ++x) wide.SetGray(x, 0, 0);
  Result w;
  Convert(p, wide, 3, 10, 1, &w);
  ASSERT_EQ(w.header.biWidth, 16);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(w.At(x, 0), x < 10 ? 0 : 255) << x;
}

TEST(OutputFormat, ContentOnlyBeyondTheColumnLimitGivesAnEmptyPage) {
  CBmpProcessing p;
  Page page(20, 4, 24);
  page.Set(15, 2, 0, 0, 0);
  Result r;
  Convert(p, page, 3, 10, 1, &r);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.out, nullptr);
  EXPECT_EQ(r.header.biWidth, 0);
  EXPECT_EQ(r.crop.right, 0);
}

TEST(OutputFormat, ToneAndLightTablesApply) {
  Page page(1, 1, 24);
  page.SetGray(0, 0, 128);
  CBmpProcessing gamma;
  COLORLEVELSITEM item;
  item.gamma = 2.0f;
  gamma.SetColorLevelsData(&item, 0);
  Result g;
  Convert(gamma, page, 3, 100, 1, &g);
  EXPECT_EQ(g.At(0, 0), 64);

  CBmpProcessing light;
  light.SetLightTable(50, 0);
  Result l;
  Convert(light, page, 3, 100, 1, &l, 50, 0);
  EXPECT_EQ(l.At(0, 0), 178);
  Result unlit;  // brightness 0 and contrast 0: the table is not consulted
  Convert(light, page, 3, 100, 1, &unlit, 0, 0);
  EXPECT_EQ(unlit.At(0, 0), 128);
}

TEST(OutputFormat, CallerBuffers) {
  CBmpProcessing p;
  Page page(20, 8, 24);
  page.Set(13, 5, 0, 0, 0);
  Result small;
  uint8_t tiny[4];
  small.out = nullptr;
  uint8_t* out = tiny;
  uint32_t len = sizeof(tiny);
  small.header = {40, 20, 8, 1, 24, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(p.CoverBMP2OutputFormat(page.data.data(), 0, &out, &len, &small.header, &small.crop,
                                       3, 0, 0, COLORLEVELSITEM(), false, 0, 0, 100, 1));
  EXPECT_EQ(len, 4u);
  EXPECT_EQ(small.header.biSizeImage, 8u);  // the header is updated all the same
  EXPECT_EQ(small.crop.left, 8);

  std::vector<uint8_t> big(16, 7);  // used as given: bytes past the copy keep their content
  out = big.data();
  len = 16;
  tagBITMAPINFOHEADER h{40, 20, 8, 1, 24, 0, 0, 0, 0, 0, 0};
  tagRECT crop;
  EXPECT_TRUE(p.CoverBMP2OutputFormat(page.data.data(), 0, &out, &len, &h, &crop, 3, 0, 0,
                                      COLORLEVELSITEM(), false, 0, 0, 100, 1));
  EXPECT_EQ(big[5], 0);
  EXPECT_EQ(big[4], 255);
  EXPECT_EQ(big[8], 7);

  EXPECT_FALSE(p.CoverBMP2OutputFormat(nullptr, 0, &out, &len, &h, &crop, 3, 0, 0,
                                       COLORLEVELSITEM(), false, 0, 0, 100, 1));
  h.biBitCount = 32;
  EXPECT_FALSE(p.CoverBMP2OutputFormat(page.data.data(), 0, &out, &len, &h, &crop, 3, 0, 0,
                                       COLORLEVELSITEM(), false, 0, 0, 100, 1));
}

}  // namespace
