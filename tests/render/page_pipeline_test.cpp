// The page pipeline end to end inside the process: TransCommand on a page buffer, the TSPL it
// writes compared through a readable listing, for the stages whose choices show in the output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/render/render_test_util.h"
#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"

namespace {

using qevtest::Art;
using qevtest::ReadableTspl;

struct Rgb {
  uint8_t r, g, b;
};
using PixelFn = std::function<Rgb(int x, int y)>;

Rgb White(int, int) { return {255, 255, 255}; }

// Puts a w × h 24-bit page (B, G, R in memory, as the page read leaves it) into the page
// device, the way the page loop and the job configuration describe it.
void LoadPage(qevtest::RenderJob& job, int w, int h, const PixelFn& px) {
  const uint32_t stride = (static_cast<uint32_t>(w) * 24 + 31) / 32 * 4;
  auto* buf = static_cast<uint8_t*>(calloc(stride * h, 1));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb c = px(x, y);
      uint8_t* p = buf + y * stride + x * 3;
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
    }
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

// Renders the loaded page as the page hand-off does and releases its buffer.
std::string Render(qevtest::RenderJob& job, bool last = true, bool* result = nullptr) {
  qevtest::StdoutCapture capture;
  const bool ok = job.renderer.TransCommand(last);
  if (result) *result = ok;
  free(job.pdev.pBufStart);
  job.pdev.pBufStart = nullptr;
  return ReadableTspl(capture.Finish());
}

// The rows of the (first) bitmap of a listing.
std::vector<std::string> BitmapRows(const std::string& listing) {
  std::vector<std::string> rows;
  size_t pos = listing.find("BITMAP ");
  if (pos == std::string::npos) return rows;
  pos = listing.find('\n', pos) + 1;
  while (pos < listing.size() && (listing[pos] == '#' || listing[pos] == '.')) {
    const size_t end = listing.find('\n', pos);
    rows.push_back(listing.substr(pos, end - pos));
    pos = end + 1;
  }
  return rows;
}

int Dots(const std::string& row) {
  return static_cast<int>(std::count(row.begin(), row.end(), '#'));
}

TEST(PagePipeline, WholePageAtPrinterResolution) {
  // 400 × 240 at 203 dpi: no resolution conversion, no rotation (type 3), the late conversion
  // keeps the whole page (0, 0, 399, 239); R = 400 / 8 = 50 and 50 × 240 = 12000 data bytes.
  qevtest::RenderJob job;
  job.cfg.sHalftoneMethod = 1;
  LoadPage(job, 400, 240, [](int x, int y) {
    return (x == 0 && y == 0) || (x == 399 && y == 239) ? Rgb{0, 0, 0} : White(x, y);
  });
  const uint8_t* before = job.pdev.pBufStart;
  qevtest::StdoutCapture capture;
  EXPECT_TRUE(job.renderer.TransCommand(true));
  const std::string raw = capture.Finish();
  EXPECT_EQ(job.pdev.pBufStart, before);  // same resolution: the buffer is not replaced
  free(job.pdev.pBufStart);
  job.pdev.pBufStart = nullptr;
  EXPECT_EQ(ReadableTspl(raw), "CLS\nSIZE 400 dot,240 dot\nBITMAP 0,0,50,240,0,\n" +
                                   Art(50, 240).Dot(0, 0).Dot(399, 239).Text() + "PRINT 1,1\n");
  EXPECT_EQ(raw.size(), strlen("CLS\r\nSIZE 400 dot,240 dot\r\nBITMAP 0,0,50,240,0,") + 12000 +
                            strlen("\r\nPRINT 1,1\r\n"));
}

TEST(PagePipeline, BlankPagesWriteNothing) {
  // Print mode 1 (early conversion) and save paper with the late conversion both find no
  // content on a white page: nothing at all is written and the page still counts as done.
  for (int mode : {1, 0}) {
    qevtest::RenderJob job;
    job.cfg.sPaperMode = static_cast<int16_t>(mode);
    job.cfg.sSavePaperMode = static_cast<int16_t>(mode == 0);
    LoadPage(job, 64, 32, White);
    bool ok = false;
    EXPECT_EQ(Render(job, true, &ok), "") << "print mode " << mode;
    EXPECT_TRUE(ok);
    EXPECT_EQ(job.pdev.bmInfoHeader.biWidth, 64);  // put back after the page
    EXPECT_EQ(job.pdev.bmInfoHeader.biHeight, 32);
  }
  qevtest::RenderJob job;  // no page buffer: false, nothing written
  bool ok = true;
  EXPECT_EQ(Render(job, true, &ok), "");
  EXPECT_FALSE(ok);
}

TEST(PagePipeline, SavePaperCropsToTheContent) {
  // One black 3 × 2 block at (13, 20): the crop widens to whole bytes, (8, 20, 15, 21), and
  // the save-paper label is N + 8 = 10 dots long with the image at its top.
  qevtest::RenderJob job;
  job.cfg.sSavePaperMode = 1;
  job.cfg.sHalftoneMethod = 1;
  LoadPage(job, 64, 32, [](int x, int y) {
    return x >= 13 && x < 16 && y >= 20 && y < 22 ? Rgb{0, 0, 0} : White(x, y);
  });
  Art art(1, 2);
  for (int y = 0; y < 2; ++y) art.Dot(5, y).Dot(6, y).Dot(7, y);
  EXPECT_EQ(Render(job),
            "CLS\nSIZE 16 dot,10 dot\nBITMAP 8,0,1,2,0,\n" + art.Text() + "PRINT 1,1\n");
}

TEST(PagePipeline, FitToWidthScalesOnceWithTonesAppliedOnce) {
  // 254 dpi and 80 mm: maxDots = 800 < W = 1000, newH = (int)(800 × 500 / 1000) = 400, so the
  // page becomes 800 × 400 at (0, 0, 799, 399). The black left half stays the left half.
  qevtest::RenderJob job;
  job.cfg.sOutputXDPI = job.cfg.sOutputYDPI = 254;
  job.dev.dmPrintQuality = job.dev.dmYResolution = 254;
  job.cfg.sMaxOutputWidth = 80;
  job.cfg.sHalftoneMethod = 1;
  LoadPage(job, 1000, 500, [](int x, int y) { return x < 500 ? Rgb{0, 0, 0} : White(x, y); });
  const std::string out = Render(job);
  EXPECT_EQ(out.substr(0, out.find("BITMAP ") + 21),
            "CLS\nSIZE 800 dot,400 dot\nBITMAP 0,0,100,400,0,");
  const std::vector<std::string> rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 400u);
  EXPECT_EQ(rows[0], std::string(400, '#') + std::string(400, '.'));
  EXPECT_EQ(rows[399], rows[0]);

  // Gray 60 with brightness 50 becomes 110 once (printed: at most 128 is black) but would be
  // 160 if the fit applied the brightness a second time. A page that needs the fit prints
  // like one that does not.
  for (int16_t maxWidth : {80, 200}) {
    qevtest::RenderJob gray;
    gray.cfg = job.cfg;
    gray.dev = job.dev;
    gray.cfg.nBrightness = 50;
    gray.cfg.sMaxOutputWidth = maxWidth;
    LoadPage(gray, 1000, 100, [](int, int) { return Rgb{60, 60, 60}; });
    const std::vector<std::string> g = BitmapRows(Render(gray));
    ASSERT_FALSE(g.empty());
    EXPECT_EQ(Dots(g[g.size() / 2]), maxWidth == 80 ? 800 : 1000) << "max width " << maxWidth;
  }
}

TEST(PagePipeline, MissingOptionsStillPrint) {
  // No Levels option (gamma 0), no Halftone option (0) and no maximum width (0): a black page
  // must still print in full, unscaled.
  qevtest::RenderJob job;
  job.cfg.nLevelsAdj = 0;
  job.cfg.sHalftoneMethod = 0;
  job.cfg.sMaxOutputWidth = 0;
  LoadPage(job, 1600, 16, [](int, int) { return Rgb{0, 0, 0}; });
  const std::string out = Render(job);
  EXPECT_NE(out.find("SIZE 1600 dot,16 dot\n"), std::string::npos) << out.substr(0, 80);
  const std::vector<std::string> rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 16u);
  for (const std::string& r : rows) EXPECT_EQ(Dots(r), 1600);
}

TEST(PagePipeline, ResolutionConversion) {
  // Raster at twice the printer resolution on both axes (shrink), on one axis (resample), and
  // at half of it (resample): the page arrives at 400 × 240 printer dots every time, with the
  // black top-left quarter still the top-left quarter.
  struct Case {
    int16_t xdpi, ydpi;
    int w, h;
  } cases[] = {{406, 406, 800, 480}, {406, 203, 800, 240}, {101, 101, 200, 120}};
  for (const Case& c : cases) {
    qevtest::RenderJob job;
    job.cfg.sOutputXDPI = job.cfg.sOutputYDPI = c.xdpi == 101 ? 202 : 203;
    job.dev.dmPrintQuality = c.xdpi;
    job.dev.dmYResolution = c.ydpi;
    job.cfg.sHalftoneMethod = 1;
    const int w = c.w, h = c.h;
    LoadPage(job, w, h, [w, h](int x, int y) {
      return x < w / 2 && y < h / 2 ? Rgb{0, 0, 0} : White(x, y);
    });
    const uint32_t rasterBytes = job.pdev.dwBufSize;
    qevtest::StdoutCapture capture;
    job.renderer.TransCommand(true);
    const std::string out = ReadableTspl(capture.Finish());
    // The converted page replaced the buffer; its size and image size are kept.
    EXPECT_EQ(job.pdev.dwBufSize, 400u * 3 * 240) << c.xdpi << "x" << c.ydpi;
    EXPECT_NE(job.pdev.dwBufSize, rasterBytes);
    EXPECT_EQ(job.pdev.bmInfoHeader.biSizeImage, job.pdev.dwBufSize);
    EXPECT_EQ(job.pdev.bmInfoHeader.biWidth, w);  // width and height are put back
    free(job.pdev.pBufStart);
    job.pdev.pBufStart = nullptr;
    EXPECT_NE(out.find("SIZE 400 dot,240 dot\n"), std::string::npos) << out.substr(0, 60);
    const std::vector<std::string> rows = BitmapRows(out);
    ASSERT_EQ(rows.size(), 240u);
    EXPECT_EQ(rows[0], std::string(200, '#') + std::string(200, '.'));
    EXPECT_EQ(rows[119], rows[0]);
    EXPECT_EQ(rows[120], std::string(400, '.'));
  }
}

TEST(PagePipeline, RotationTypesTurnThePage) {
  // A 16 × 8 page with one black pixel at the top left. The rotation settings select how the
  // conversion turns it: type 3 none, 2 clockwise (lands top right of an 8 × 16 page), 0
  // counter-clockwise (bottom left), 1 half turn (bottom right).
  struct Case {
    int16_t rotate90;
    int64_t rotation;
    int width, height, dotX, dotY;
  } cases[] = {
      {0, 0, 16, 8, 0, 0},   // type 3
      {1, 0, 8, 16, 7, 0},   // type 2
      {1, 1, 8, 16, 0, 15},  // type 0
      {0, 1, 16, 8, 15, 7},  // type 1
  };
  for (const Case& c : cases) {
    qevtest::RenderJob job;
    job.cfg.sRotate90 = c.rotate90;
    job.cfg.sRotation = c.rotation;
    job.cfg.sHalftoneMethod = 1;
    LoadPage(job, 16, 8, [](int x, int y) {
      return x == 0 && y == 0 ? Rgb{0, 0, 0} : White(x, y);
    });
    const std::string out = Render(job);
    const std::string header =
        "BITMAP 0,0," + std::to_string(c.width / 8) + "," + std::to_string(c.height) + ",0,\n";
    EXPECT_EQ(out.substr(out.find("BITMAP")),
              header + Art(c.width / 8, c.height).Dot(c.dotX, c.dotY).Text() + "PRINT 1,1\n")
        << "rotate90 " << c.rotate90 << " rotation " << c.rotation;
  }
}

TEST(PagePipeline, AutoRotationTurnsALandscapePage) {
  // 1000 × 200 at 254 dpi with an 80 mm maximum: 1000 dots are 100.5 mm with the rounding, over
  // 20 mm too wide, and W > H + 50 (5 mm). AutoRotate 3 turns it clockwise (turn 2) into 200 ×
  // 1000, which then fits without scaling. The top-left pixel lands at the top right.
  qevtest::RenderJob job;
  job.cfg.sOutputXDPI = job.cfg.sOutputYDPI = 254;
  job.dev.dmPrintQuality = job.dev.dmYResolution = 254;
  job.cfg.sMaxOutputWidth = 80;
  job.cfg.sAutoRotate90 = 3;
  job.cfg.sHalftoneMethod = 1;
  LoadPage(job, 1000, 200, [](int x, int y) {
    return x == 0 && y == 0 ? Rgb{0, 0, 0} : White(x, y);
  });
  const std::string out = Render(job);
  EXPECT_EQ(out.substr(0, out.find('\n', out.find("BITMAP")) + 1),
            "CLS\nSIZE 200 dot,1000 dot\nBITMAP 0,0,25,1000,0,\n");
  const std::vector<std::string> rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 1000u);
  EXPECT_EQ(rows[0], std::string(199, '.') + "#");

  // Without automatic rotation the same page is scaled to 800 dots instead.
  job.cfg.sAutoRotate90 = 0;
  LoadPage(job, 1000, 200, White);
  job.cfg.sHalftoneMethod = 1;
  const std::string scaled = Render(job);
  EXPECT_NE(scaled.find("SIZE 800 dot,160 dot\n"), std::string::npos) << scaled.substr(0, 60);
}

TEST(PagePipeline, AutoRotationInPrintModeOneKeepsEveryRow) {
  // Print mode 1 crops first: a 16 × 80 block at (96, 0) of a 256 × 600 page, a portrait
  // (16 + 40 < 80) that AutoRotate 1 turns counter-clockwise (turn 0). The turned crop's top is
  // T + Fw - 1 - R = 0 + 15 - 111 = -96, yet the label shows all 16 rows, 80 dots each, on a
  // label of N + 8 = 24 dots (print mode 1 sizes like save paper; no maximum width set).
  qevtest::RenderJob job;
  job.cfg.sPaperMode = 1;
  job.cfg.sAutoRotate90 = 1;
  job.cfg.sMaxOutputWidth = 0;
  job.cfg.sHalftoneMethod = 1;
  LoadPage(job, 256, 600, [](int x, int y) {
    return x >= 96 && x < 112 && y < 80 ? Rgb{0, 0, 0} : White(x, y);
  });
  const std::string out = Render(job);
  const std::vector<std::string> rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 16u) << out.substr(0, 80);
  for (const std::string& r : rows) EXPECT_EQ(Dots(r), 80);
  EXPECT_NE(out.find("SIZE 80 dot,24 dot\n"), std::string::npos) << out.substr(0, 80);
}

TEST(PagePipeline, NegativePrintsTheWhite) {
  qevtest::RenderJob job;
  job.cfg.bNegative = 1;
  job.cfg.sHalftoneMethod = 1;
  LoadPage(job, 16, 4, [](int x, int y) { return x < 8 ? Rgb{0, 0, 0} : White(x, y); });
  const std::vector<std::string> rows = BitmapRows(Render(job));
  ASSERT_EQ(rows.size(), 4u);
  for (const std::string& r : rows) EXPECT_EQ(r, "........########");
}

TEST(PagePipeline, LongRulesBecomeDashes) {
  // A black rule across a 400-dot row 3. Dash (int)(2 mm = 15.98 + 0.5) = 16 dots, gap
  // (int)(1 mm = 7.99 + 0.5) = 8 dots, period 24. Pixel 0 of a row never counts, so the run
  // is pixels 1..399 (n = 399), handed on at the start of row 4: within it every whole period
  // m = 24, 48, ... 384 whitens the 8 pixels before m; the cut-off last period stays black.
  qevtest::RenderJob job;
  job.cfg.sHalftoneMethod = 1;
  job.cfg.sIsLineImaginary = 1;
  job.cfg.sMinImaginaryLineLen = 1;
  job.cfg.sBlackInterval = 2;
  job.cfg.sWhiteInterval = 1;
  LoadPage(job, 400, 8, [](int x, int y) { return y == 3 ? Rgb{0, 0, 0} : White(x, y); });
  const std::vector<std::string> rows = BitmapRows(Render(job));
  ASSERT_EQ(rows.size(), 8u);
  std::string expected(400, '#');
  for (int m = 24; m < 399; m += 24) {
    for (int k = m - 8; k < m; ++k) expected[1 + k] = '.';
  }
  EXPECT_EQ(rows[3], expected);
  EXPECT_EQ(Dots(rows[2]), 0);

  // A run shorter than the minimum stays solid: 399 pixels at 203 dpi are 49.9 mm < 60 mm.
  job.cfg.sMinImaginaryLineLen = 60;
  LoadPage(job, 400, 8, [](int x, int y) { return y == 3 ? Rgb{0, 0, 0} : White(x, y); });
  EXPECT_EQ(BitmapRows(Render(job))[3], std::string(400, '#'));
}

class HalftoneMethods : public testing::TestWithParam<int> {};

TEST_P(HalftoneMethods, DotsFollowTheGrayLevel) {
  // 17 bands of 8 rows from white (255) down to black (0) in steps of 16 (the last 0), then a
  // white band. The Stucki diffusion (method 6) never decides the last two rows and columns,
  // so dots are counted in columns 0..125 of the first 17 bands only.
  qevtest::RenderJob job;
  job.cfg.sHalftoneMethod = static_cast<int16_t>(GetParam());
  LoadPage(job, 128, 18 * 8, [](int, int y) {
    const uint8_t v = y >= 17 * 8 ? 255 : static_cast<uint8_t>(std::max(0, 255 - (y / 8) * 16));
    return Rgb{v, v, v};
  });
  const std::vector<std::string> rows = BitmapRows(Render(job));
  ASSERT_EQ(rows.size(), 18u * 8);
  constexpr int kCounted = 126;
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

INSTANTIATE_TEST_SUITE_P(AllMethods, HalftoneMethods, testing::Range(1, 11));

}  // namespace

// ---- whole jobs through the built filter ----

qevtest::PpdSpec JobPpd(const std::vector<std::pair<std::string, std::string>>& options) {
  qevtest::PpdSpec spec;
  for (const auto& [keyword, code] : options) {
    spec.options.push_back(qevtest::NumericOption(keyword, code, {code}));
  }
  return spec;
}

std::string RunJob(const qevtest::PpdSpec& spec, const std::vector<qevtest::RasterPage>& pages) {
  qevtest::TempDir dir;
  EXPECT_TRUE(qevtest::WritePpdFile(dir.file("job.ppd"), spec));
  EXPECT_TRUE(qevtest::WriteRasterFile(dir.file("job.ras"), pages));
  qevtest::FilterRun run;
  run.args = qevtest::JobArgs("", dir.file("job.ras"));
  run.ppd = dir.file("job.ppd");
  const qevtest::RunResult result = qevtest::RunFilter(run);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  return ReadableTspl(result.out);
}

// The preamble of a PPD with only Mode (and options the preamble does not read): no media
// line, no ribbon line, density and speed 0 (absent options read as 0), offset 0.
std::string Preamble(int mode) {
  std::string p = "CLS\nDIRECTION 1,0\nREFERENCE 0,0\nDENSITY 0\nSPEED 0\nOFFSET 0 mm\n";
  return p + (mode == 3 ? "SET TEAR ON\nSET PEEL OFF\nSET CUTTER OFF\n"
                        : "SET TEAR OFF\nSET PEEL OFF\n");
}

TEST(WholeJob, LabelPageThroughTheFilter) {
  // The 400 × 240 page at 203 dpi with tear-off: preamble, then CLS, SIZE, the 12000-byte
  // bitmap and PRINT 1,1.
  qevtest::RasterPage page;
  page.width = 400;
  page.height = 240;
  page.fill = [](uint32_t y, uint8_t* row, uint32_t bytes) {
    memset(row, 255, bytes);
    if (y == 0) row[0] = row[1] = row[2] = 0;
    if (y == 239) row[399 * 3] = row[399 * 3 + 1] = row[399 * 3 + 2] = 0;
  };
  const std::string out =
      RunJob(JobPpd({{"Mode", "3"}, {"Halftone", "1"}, {"MaxOutputWidth", "104"}}), {page});
  EXPECT_EQ(out, Preamble(3) + "CLS\nSIZE 400 dot,240 dot\nBITMAP 0,0,50,240,0,\n" +
                     Art(50, 240).Dot(0, 0).Dot(399, 239).Text() + "PRINT 1,1\n");
}

TEST(WholeJob, CutEveryThreeLabelsOverTwoPages) {
  // Cut method 3, I = 3, five copies of each of two pages: the cutter sequence of the
  // interval example, pages rendered in order with the job's label counter carried over.
  qevtest::RasterPage page;
  page.width = 8;
  page.height = 2;  // a page one row high prints nothing (an empty rectangle)
  page.copies = 5;
  page.fill = [](uint32_t y, uint8_t* row, uint32_t bytes) {
    memset(row, 255, bytes);
    if (y == 0) row[0] = row[1] = row[2] = 0;
  };
  const std::string out = RunJob(JobPpd({{"Mode", "4"},
                                         {"CutMethod", "3"},
                                         {"Interval", "3"},
                                         {"Halftone", "1"},
                                         {"MaxOutputWidth", "104"}}),
                                 {page, page});
  auto block = [](int n) {
    return "BITMAP 0,0,1,2,0,\n#.......\n........\nPRINT 1," + std::to_string(n) + "\n";
  };
  const std::string head = "CLS\nSIZE 8 dot,2 dot\n";
  EXPECT_EQ(out, Preamble(4) + head + "SET CUTTER OFF\n" + block(2) + "SET CUTTER 1\n" + block(1) +
                     "SET CUTTER OFF\n" + block(2) + head + "SET CUTTER OFF\n" + block(0) +
                     "SET CUTTER 1\n" + block(1) + "SET CUTTER OFF\n" + block(2) +
                     "SET CUTTER 1\n" + block(1) + "SET CUTTER OFF\n" + block(0) +
                     "SET CUTTER 1\n" + block(1));
}

TEST(PagePipeline, DegenerateSizesNeverBreakTheJob) {
  // A one-row raster at twice the printer resolution converts to 0 rows: the page is
  // skipped (an ERROR line for CUPS), nothing is written and the job goes on.
  {
    qevtest::RenderJob job;
    job.dev.dmPrintQuality = job.dev.dmYResolution = 406;
    LoadPage(job, 16, 1, [](int, int) { return Rgb{0, 0, 0}; });
    bool ok = false;
    EXPECT_EQ(Render(job, true, &ok), "");
    EXPECT_TRUE(ok);
  }
  // 2000 × 2 fitted to 800 dots would be (int)(800 × 2 / 2000) = 0 rows high; it keeps one.
  {
    qevtest::RenderJob job;
    job.cfg.sOutputXDPI = job.cfg.sOutputYDPI = 254;
    job.dev.dmPrintQuality = job.dev.dmYResolution = 254;
    job.cfg.sMaxOutputWidth = 80;
    job.cfg.sHalftoneMethod = 1;
    LoadPage(job, 2000, 2, [](int, int) { return Rgb{0, 0, 0}; });
    const std::string out = Render(job);
    EXPECT_NE(out.find("SIZE 800 dot,1 dot\n"), std::string::npos) << out.substr(0, 60);
    const std::vector<std::string> rows = BitmapRows(out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Dots(rows[0]), 800);
  }
  // Print modes other than 0 and 1 print like mode 0.
  std::string outputs[2];
  for (int16_t mode : {0, 2}) {
    qevtest::RenderJob job;
    job.cfg.sPaperMode = mode;
    job.cfg.sHalftoneMethod = 1;
    LoadPage(job, 40, 16, [](int x, int y) { return x == y ? Rgb{0, 0, 0} : White(x, y); });
    outputs[mode / 2] = Render(job);
  }
  EXPECT_EQ(outputs[1], outputs[0]);
  EXPECT_NE(outputs[0].find("SIZE 40 dot,16 dot\n"), std::string::npos);
}

TEST(PagePipeline, DashesFollowTheRunAcrossRowPadding) {
  // Print mode 1 fits after converting: at 254 dpi an 81 mm maximum is 810 dots, so the rows
  // are 810 pixels in a stride of 812. A full black row's run (pixels 1..809) is handed on at
  // the next row start and must be dashed where it lies, from pixel 1: dash 2 mm = 20, gap
  // 1 mm = 10, period 30, so pixels 1 + (m - 10 .. m - 1) turn white for m = 30 .. 780.
  qevtest::RenderJob job;
  job.cfg.sOutputXDPI = job.cfg.sOutputYDPI = 254;
  job.dev.dmPrintQuality = job.dev.dmYResolution = 254;
  job.cfg.sPaperMode = 1;
  job.cfg.sMaxOutputWidth = 81;
  job.cfg.sHalftoneMethod = 1;
  job.cfg.sIsLineImaginary = 1;
  job.cfg.sMinImaginaryLineLen = 1;
  job.cfg.sBlackInterval = 2;
  job.cfg.sWhiteInterval = 1;
  // Content rows 0..15 (markers at both ends) with a rule in rows 4..11: 1000 × 16 becomes
  // 810 × (int)(810 × 16 / 1000) = 12 rows, the rule covering rows 3..8 of them.
  LoadPage(job, 1000, 16, [](int x, int y) {
    return (y >= 4 && y < 12) || (x == 0 && (y == 0 || y == 15)) ? Rgb{0, 0, 0} : White(x, y);
  });
  const std::string out = Render(job);
  ASSERT_NE(out.find("BITMAP 0,0,102,12,0,"), std::string::npos) << out.substr(0, 80);
  const std::vector<std::string> rows = BitmapRows(out);
  ASSERT_EQ(rows.size(), 12u);
  std::string expected = std::string(810, '#') + std::string(6, '.');
  for (int m = 30; m < 809; m += 30) {
    for (int k = m - 10; k < m; ++k) expected[1 + k] = '.';
  }
  EXPECT_EQ(rows[6], expected);
}
