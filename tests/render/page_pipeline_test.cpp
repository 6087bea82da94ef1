// The page pipeline end to end inside the process: TransCommand on a page buffer, the TSPL it
// writes compared through a readable listing, for the stages whose choices show in the output;
// then a whole cutter job through the built filter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/dots.h"
#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/render_job.h"

namespace {

using quorvel::test::Art;
using quorvel::test::BitmapRows;
using quorvel::test::Dots;
using Rows = std::vector<std::string>;
using GrayFn = std::function<uint8_t(int x, int y)>;

uint8_t White(int, int) { return 255; }
uint8_t Black(int, int) { return 0; }
GrayFn BlackWhere(std::function<bool(int x, int y)> inked) {
  return [inked](int x, int y) -> uint8_t { return inked(x, y) ? 0 : 255; };
}

// Puts a w × h 24-bit gray page into the page device, as the page loop describes it.
void LoadPage(quorvel::test::RenderJob& job, int w, int h, const GrayFn& gray) {
  const auto stride = static_cast<uint32_t>(RowStride(w, 24));
  auto* buf = static_cast<uint8_t*>(calloc(stride * h, 1));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) memset(buf + y * stride + x * 3, gray(x, y), 3);
  }
  job.pdev.pBufStart = buf;
  job.pdev.dwBufSize = stride * h;
  job.pdev.bmInfoHeader = tagBITMAPINFOHEADER{};
  job.pdev.bmInfoHeader.biWidth = w;
  job.pdev.bmInfoHeader.biHeight = h;
  job.pdev.bmInfoHeader.biBitCount = 24;
  job.pdev.srcGdiInfo.ulVertRes = h;
  job.pdev.srcGdiInfo.szlPhysSize = {w, h};
}

// Renders the loaded page as the page hand-off does, releases its buffer, returns the listing.
std::string Render(quorvel::test::RenderJob& job, bool* result = nullptr,
                   std::string* raw = nullptr) {
  quorvel::test::StdoutCapture capture;
  const bool ok = job.renderer.TransCommand(true);
  if (result) *result = ok;
  free(job.pdev.pBufStart);
  job.pdev.pBufStart = nullptr;
  const std::string out = capture.Take();
  if (raw) *raw = out;
  return quorvel::test::ReadableTspl(out);
}

// A job at `dpi` (printer and raster alike) with halftone method 1.
quorvel::test::RenderJob JobAt(int16_t dpi) {
  quorvel::test::RenderJob job;
  job.cfg.sOutputXDPI = job.cfg.sOutputYDPI = dpi;
  job.dev.dmPrintQuality = job.dev.dmYResolution = dpi;
  job.cfg.sHalftoneMethod = 1;
  return job;
}

TEST(PagePipeline, WholePageAtPrinterResolution) {
  // 400 × 240 at 203 dpi: no conversion, no rotation, the whole page (0, 0, 399, 239);
  // R = 400 / 8 = 50 and 50 × 240 = 12000 data bytes.
  quorvel::test::RenderJob job = JobAt(203);
  LoadPage(job, 400, 240, BlackWhere([](int x, int y) { return x + y == 0 || x + y == 638; }));
  bool ok = false;
  std::string raw;
  EXPECT_EQ(Render(job, &ok, &raw), "CLS\nSIZE 400 dot,240 dot\nBITMAP 0,0,50,240,0,\n" +
                                        Art(50, 240).Dot(0, 0).Dot(399, 239).Text() +
                                        "PRINT 1,1\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(raw.size(), strlen("CLS\r\nSIZE 400 dot,240 dot\r\nBITMAP 0,0,50,240,0,") + 12000 +
                            strlen("\r\nPRINT 1,1\r\n"));
}

TEST(PagePipeline, BlankAndDegeneratePagesWriteNothing) {
  // Print mode 1 (early conversion) and save paper (late conversion) find no content on a
  // white page; a one-row raster at twice the printer resolution converts to 0 rows and is
  // skipped. Nothing is written, the job goes on and the page header is put back.
  for (int c = 0; c < 3; ++c) {
    quorvel::test::RenderJob job = JobAt(203);
    job.cfg.sPaperMode = c == 0;
    job.cfg.sSavePaperMode = c == 1;
    if (c == 2) job.dev.dmPrintQuality = job.dev.dmYResolution = 406;
    LoadPage(job, 64, c == 2 ? 1 : 32, c == 2 ? Black : White);
    bool ok = false;
    EXPECT_EQ(Render(job, &ok), "") << "case " << c;
    EXPECT_TRUE(ok);
    EXPECT_EQ(job.pdev.bmInfoHeader.biWidth, 64);
  }
  quorvel::test::RenderJob job;  // no page buffer: false, nothing written
  bool ok = true;
  EXPECT_EQ(Render(job, &ok), "");
  EXPECT_FALSE(ok);
}

TEST(PagePipeline, FitToWidthScalesOnceWithTonesAppliedOnce) {
  // 254 dpi and 80 mm: maxDots = 800 < W = 1000, newH = (int)(800 × 500 / 1000) = 400. The
  // black left half stays the left half.
  quorvel::test::RenderJob job = JobAt(254);
  job.cfg.sMaxOutputWidth = 80;
  LoadPage(job, 1000, 500, BlackWhere([](int x, int) { return x < 500; }));
  const std::string out = Render(job);
  EXPECT_EQ(out.substr(0, out.find("BITMAP ") + 21),
            "CLS\nSIZE 800 dot,400 dot\nBITMAP 0,0,100,400,0,");
  const Rows rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 400u);
  EXPECT_EQ(rows[0], std::string(400, '#') + std::string(400, '.'));
  EXPECT_EQ(rows[399], rows[0]);

  // Gray 60 with brightness 50 becomes 110 once (black) but 160 (white) if the fit applied it
  // a second time: a page that needs the fit prints like one that does not.
  for (int16_t maxWidth : {80, 200}) {
    quorvel::test::RenderJob gray = JobAt(254);
    gray.cfg.nBrightness = 50;
    gray.cfg.sMaxOutputWidth = maxWidth;
    LoadPage(gray, 1000, 100, [](int, int) -> uint8_t { return 60; });
    const Rows g = BitmapRows(Render(gray));
    ASSERT_FALSE(g.empty());
    EXPECT_EQ(Dots(g[g.size() / 2]), maxWidth == 80 ? 800 : 1000) << "max width " << maxWidth;
  }
  // 2000 × 2 fitted to 800 dots would be (int)(800 × 2 / 2000) = 0 rows high; it keeps one.
  LoadPage(job, 2000, 2, Black);
  const Rows flat = BitmapRows(Render(job));
  ASSERT_EQ(flat.size(), 1u);
  EXPECT_EQ(Dots(flat[0]), 800);
}

TEST(PagePipeline, MissingOptionsStillPrint) {
  // No Levels option (gamma 0), no Halftone option (0), no maximum width (0): a black page
  // still prints in full, unscaled.
  quorvel::test::RenderJob job;
  job.cfg.sMaxOutputWidth = 0;
  LoadPage(job, 1600, 16, Black);
  const std::string out = Render(job);
  EXPECT_NE(out.find("SIZE 1600 dot,16 dot\n"), std::string::npos) << out.substr(0, 80);
  const Rows rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 16u);
  for (const std::string& r : rows) EXPECT_EQ(Dots(r), 1600);
}

TEST(PagePipeline, ResolutionConversion) {
  // Raster at twice the printer resolution on both axes (shrink), on one axis (resample), and
  // at half of it (resample): the page arrives at 400 × 240 printer dots every time, with the
  // black top-left quarter still the top-left quarter.
  const struct {
    int16_t xdpi, ydpi, outDpi;
    int w, h;
  } cases[] = {{406, 406, 203, 800, 480}, {406, 203, 203, 800, 240}, {101, 101, 202, 200, 120}};
  for (const auto& c : cases) {
    quorvel::test::RenderJob job = JobAt(c.outDpi);
    job.dev.dmPrintQuality = c.xdpi;
    job.dev.dmYResolution = c.ydpi;
    const int w = c.w, h = c.h;
    LoadPage(job, w, h, BlackWhere([w, h](int x, int y) { return x < w / 2 && y < h / 2; }));
    const std::string out = Render(job);
    EXPECT_NE(out.find("SIZE 400 dot,240 dot\n"), std::string::npos) << out.substr(0, 60);
    const Rows rows = BitmapRows(out);
    ASSERT_EQ(rows.size(), 240u);
    EXPECT_EQ(rows[0], std::string(200, '#') + std::string(200, '.'));
    EXPECT_EQ(rows[119], rows[0]);
    EXPECT_EQ(rows[120], std::string(400, '.'));
  }
}

TEST(PagePipeline, RotationTypesTurnThePage) {
  // A 16 × 8 page with one black pixel at the top left: type 3 leaves it, 2 turns clockwise
  // (top right of 8 × 16), 0 counter-clockwise (bottom left), 1 half way (bottom right).
  const struct {
    int16_t rotate90;
    int64_t rotation;
    int width, height, dotX, dotY;
  } cases[] = {
      {0, 0, 16, 8, 0, 0}, {1, 0, 8, 16, 7, 0}, {1, 1, 8, 16, 0, 15}, {0, 1, 16, 8, 15, 7}};
  for (const auto& c : cases) {
    quorvel::test::RenderJob job = JobAt(203);
    job.cfg.sRotate90 = c.rotate90;
    job.cfg.sRotation = c.rotation;
    LoadPage(job, 16, 8, BlackWhere([](int x, int y) { return x + y == 0; }));
    const std::string out = Render(job);
    EXPECT_EQ(out.substr(out.find("BITMAP")),
              "BITMAP 0,0," + std::to_string(c.width / 8) + "," + std::to_string(c.height) +
                  ",0,\n" + Art(c.width / 8, c.height).Dot(c.dotX, c.dotY).Text() + "PRINT 1,1\n")
        << "rotate90 " << c.rotate90 << " rotation " << c.rotation;
  }
}

TEST(PagePipeline, AutoRotation) {
  // 1000 × 200 at 254 dpi with an 80 mm maximum: 100.5 mm is over 20 mm too wide and W > H +
  // 50. AutoRotate 3 turns it clockwise into 200 × 1000; the top-left pixel lands top right.
  quorvel::test::RenderJob job = JobAt(254);
  job.cfg.sMaxOutputWidth = 80;
  job.cfg.sAutoRotate90 = 3;
  LoadPage(job, 1000, 200, BlackWhere([](int x, int y) { return x + y == 0; }));
  const std::string out = Render(job);
  EXPECT_EQ(out.substr(0, out.find('\n', out.find("BITMAP")) + 1),
            "CLS\nSIZE 200 dot,1000 dot\nBITMAP 0,0,25,1000,0,\n");
  const Rows rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 1000u);
  EXPECT_EQ(rows[0], std::string(199, '.') + "#");
  // Without automatic rotation the same page is scaled to 800 dots instead.
  job.cfg.sAutoRotate90 = 0;
  LoadPage(job, 1000, 200, White);
  EXPECT_NE(Render(job).find("SIZE 800 dot,160 dot\n"), std::string::npos);

  // Print mode 1 crops first: a 16 × 80 block at (96, 0) of 256 × 600, a portrait that
  // AutoRotate 1 turns counter-clockwise. The turned crop's top is 0 + 15 - 111 = -96, yet
  // the label shows all 16 rows of 80 dots, N + 8 = 24 dots long.
  quorvel::test::RenderJob mode1 = JobAt(203);
  mode1.cfg.sPaperMode = 1;
  mode1.cfg.sAutoRotate90 = 1;
  mode1.cfg.sMaxOutputWidth = 0;
  LoadPage(mode1, 256, 600, BlackWhere([](int x, int y) { return x >= 96 && x < 112 && y < 80; }));
  const std::string turned = Render(mode1);
  const Rows turnedRows = BitmapRows(turned);
  ASSERT_EQ(turnedRows.size(), 16u) << turned.substr(0, 80);
  for (const std::string& r : turnedRows) EXPECT_EQ(Dots(r), 80);
  EXPECT_NE(turned.find("SIZE 80 dot,24 dot\n"), std::string::npos) << turned.substr(0, 80);
}

TEST(PagePipeline, NegativePrintsTheWhite) {
  quorvel::test::RenderJob job = JobAt(203);
  job.cfg.bNegative = 1;
  LoadPage(job, 16, 4, BlackWhere([](int x, int) { return x < 8; }));
  EXPECT_EQ(BitmapRows(Render(job)), Rows(4, "........########"));
}

// The expected row of a black run over pixels 1..n-1 of a `width`-dot row after dashing: every
// whole period m of dash + gap whitens the `gap` pixels before it (pixel 0 never counts). A run
// that reaches the row's end is handed on as the bytes just before the next row, so `padding`
// bytes of row padding move its pattern that many pixels to the right.
std::string Dashed(int width, int rowDots, int dash, int gap, int padding = 0) {
  std::string row = std::string(width, '#') + std::string(rowDots - width, '.');
  for (int m = dash + gap; m < width - 1; m += dash + gap) {
    for (int k = m - gap; k < m; ++k) {
      if (1 + padding + k < width) row[1 + padding + k] = '.';
    }
  }
  return row;
}

TEST(PagePipeline, LongRulesBecomeDashes) {
  // A rule across row 3 of 400 dots: dash (int)(15.98 + 0.5) = 16, gap (int)(7.99 + 0.5) = 8.
  quorvel::test::RenderJob job = JobAt(203);
  job.cfg.sIsLineImaginary = 1;
  job.cfg.sMinImaginaryLineLen = 1;
  job.cfg.sBlackInterval = 2;
  job.cfg.sWhiteInterval = 1;
  LoadPage(job, 400, 8, BlackWhere([](int, int y) { return y == 3; }));
  Rows rows = BitmapRows(Render(job));
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[3], Dashed(400, 400, 16, 8));
  EXPECT_EQ(Dots(rows[2]), 0);
  // A run shorter than the minimum stays solid: 399 pixels at 203 dpi are 49.9 mm < 60 mm.
  job.cfg.sMinImaginaryLineLen = 60;
  LoadPage(job, 400, 8, BlackWhere([](int, int y) { return y == 3; }));
  EXPECT_EQ(BitmapRows(Render(job)).at(3), std::string(400, '#'));

  // Print mode 1 fits after converting: an 81 mm maximum at 254 dpi is 810 dots in a stride of
  // 812. A run handed on at the next row start begins n bytes before that row, so its two
  // padding bytes shift the dashes by two pixels (pixels 1 and 2 stay black):
  // 1000 × 16 becomes 810 × 12, the rule of rows 4..11 covering rows 3..8; dash 20, gap 10.
  job = JobAt(254);
  job.cfg.sPaperMode = 1;
  job.cfg.sMaxOutputWidth = 81;
  job.cfg.sIsLineImaginary = job.cfg.sMinImaginaryLineLen = 1;
  job.cfg.sBlackInterval = 2;
  job.cfg.sWhiteInterval = 1;
  LoadPage(job, 1000, 16, BlackWhere([](int x, int y) {
             return (y >= 4 && y < 12) || (x == 0 && (y == 0 || y == 15));
           }));
  const std::string out = Render(job);
  ASSERT_NE(out.find("BITMAP 0,0,102,12,0,"), std::string::npos) << out.substr(0, 80);
  rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[6], Dashed(810, 816, 20, 10, 2));
  EXPECT_EQ(rows[6].substr(0, 33), std::string(23, '#') + std::string(10, '.'));
}

class HalftoneMethods : public testing::TestWithParam<int> {};

TEST_P(HalftoneMethods, DotsFollowTheGrayLevel) {
  // 17 bands of 8 rows from white (255) down to black (0) in steps of 16, then a white band.
  // Every method decides every dot, the last rows and columns of the page included.
  quorvel::test::RenderJob job;
  job.cfg.sHalftoneMethod = static_cast<int16_t>(GetParam());
  LoadPage(job, 128, 18 * 8, [](int, int y) -> uint8_t {
    return y >= 17 * 8 ? 255 : static_cast<uint8_t>(std::max(0, 255 - (y / 8) * 16));
  });
  const Rows rows = BitmapRows(Render(job));
  ASSERT_EQ(rows.size(), 18u * 8);
  constexpr int kCounted = 128;
  std::vector<int> bands(17, 0);
  for (size_t y = 0; y < 17 * 8; ++y) bands[y / 8] += Dots(rows[y].substr(0, kCounted));
  EXPECT_EQ(bands.front(), 0) << "white prints nothing";
  EXPECT_EQ(bands.back(), kCounted * 8) << "black prints everything";
  // Darker never prints markedly less (a tenth of a band of slack for pattern phase).
  int darkest = 0;
  for (int b = 0; b < 17; ++b) {
    EXPECT_GE(bands[b] + kCounted * 8 / 10, darkest) << "band " << b;
    darkest = std::max(darkest, bands[b]);
  }
  EXPECT_GT(bands[14], bands[2]);
}

INSTANTIATE_TEST_SUITE_P(AllMethods, HalftoneMethods, testing::Range(1, 12));

TEST(WholeJob, CutEveryThreeLabelsOverTwoPages) {
  // Cut method 3, I = 3, five copies of each of two pages through the built filter: the
  // interval example's cutter sequence, the job's label counter carried from page to page.
  quorvel::test::PpdSpec spec;
  for (const auto& [keyword, code] :
       std::vector<std::pair<std::string, std::string>>{{"Mode", "4"},
                                                        {"CutMethod", "3"},
                                                        {"Interval", "3"},
                                                        {"Halftone", "1"},
                                                        {"MaxOutputWidth", "104"}}) {
    spec.options.push_back(quorvel::test::NumericOption(keyword, code, {code}));
  }
  quorvel::test::RasterPage page;
  page.width = 8;
  page.height = 2;  // a page one row high prints nothing (an empty rectangle)
  page.copies = 5;
  page.fill = [](uint32_t y, uint8_t* row, uint32_t bytes) {
    memset(row, y == 0 ? 0 : 255, 3);
    memset(row + 3, 255, bytes - 3);
  };
  quorvel::test::TempDir dir;
  ASSERT_TRUE(quorvel::test::WritePpdFile(dir.file("job.ppd"), spec));
  ASSERT_TRUE(quorvel::test::WriteRasterFile(dir.file("job.ras"), {page, page}));
  quorvel::test::FilterRun run;
  run.args = quorvel::test::JobArgs("", dir.file("job.ras"));
  run.ppd = dir.file("job.ppd");
  const quorvel::test::RunResult result = quorvel::test::RunFilter(run);
  EXPECT_EQ(result.exitStatus, 0) << result.err;

  auto block = [](int n) {
    return "BITMAP 0,0,1,2,0,\n#.......\n........\nPRINT 1," + std::to_string(n) + "\n";
  };
  const std::string head = "CLS\nSIZE 8 dot,2 dot\n", off = "SET CUTTER OFF\n",
                    cut = "SET CUTTER 1\n";
  EXPECT_EQ(quorvel::test::ReadableTspl(result.out),
            "CLS\nDIRECTION 1,0\nREFERENCE 0,0\nDENSITY 0\nSPEED 0\nOFFSET 0 mm\nSET TEAR OFF\n"
            "SET PEEL OFF\n" +
                head + off + block(2) + cut + block(1) + off + block(2) + head + off + block(0) +
                cut + block(1) + off + block(2) + cut + block(1) + off + block(0) + cut + block(1));
}

}  // namespace
