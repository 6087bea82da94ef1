// The page pipeline's own choices, pinned between the imaging unit tests and the whole-job
// tests: one row per rounding, threshold, range or turn the pipeline decides itself, each
// rendered through TransCommand and summarised as its BITMAP line, dot count and first dot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "base/dots.h"
#include "render/page_scale.h"
#include "tests/support/render_job.h"
#include "tests/support/stdout_capture.h"

namespace {

using GrayFn = std::function<uint8_t(int x, int y)>;

struct StageCase {
  const char* what;
  int w, h;
  GrayFn gray;
  std::function<void(quorvel::test::RenderJob&)> setup;
  const char* expected;  // "BITMAP …|dots N@x,y" (first dot in reading order), "" for nothing
};

GrayFn Uniform(uint8_t v) {
  return [v](int, int) { return v; };
}
GrayFn Dot(int dx, int dy) {
  return [dx, dy](int x, int y) -> uint8_t { return x == dx && y == dy ? 0 : 255; };
}
GrayFn TopLeftQuarter(int w, int h) {
  return [w, h](int x, int y) -> uint8_t { return x < w / 2 && y < h / 2 ? 0 : 255; };
}

// Renders a w × h 24-bit page as the page loop hands it over and summarises the output.
std::string Summary(const StageCase& c) {
  quorvel::test::RenderJob job;
  job.cfg.sHalftoneMethod = 1;
  job.cfg.sMaxOutputWidth = 0;
  if (c.setup) c.setup(job);
  const auto stride = static_cast<uint32_t>(RowStride(c.w, 24));
  auto* buf = static_cast<uint8_t*>(calloc(stride * c.h, 1));
  for (int y = 0; y < c.h; ++y) {
    for (int x = 0; x < c.w; ++x) memset(buf + y * stride + x * 3, c.gray(x, y), 3);
  }
  job.pdev.pBufStart = buf;
  job.pdev.dwBufSize = stride * c.h;
  job.pdev.bmInfoHeader.biWidth = c.w;
  job.pdev.bmInfoHeader.biHeight = c.h;
  job.pdev.bmInfoHeader.biBitCount = 24;
  job.pdev.srcGdiInfo.ulVertRes = c.h;
  job.pdev.srcGdiInfo.szlPhysSize = {c.w, c.h};
  quorvel::test::StdoutCapture capture;
  job.renderer.TransCommand(true);
  free(job.pdev.pBufStart);
  const std::string listing = quorvel::test::ReadableTspl(capture.Take());
  if (listing.empty()) return "";
  auto line = [&](const char* start) {
    const size_t p = listing.find(start);
    return p == std::string::npos ? std::string("-") : listing.substr(p, listing.find('\n', p) - p);
  };
  int dots = 0;
  std::string first;
  const auto rows = quorvel::test::BitmapRows(listing);
  for (size_t y = 0; y < rows.size(); ++y) {
    dots += quorvel::test::Dots(rows[y]);
    const size_t x = rows[y].find('#');
    if (first.empty() && x != std::string::npos)
      first = "@" + std::to_string(x) + "," + std::to_string(y);
  }
  return line("BITMAP ") + "|dots " + std::to_string(dots) + first;
}

void PrintTo(const StageCase& c, std::ostream* os) { *os << c.what; }

class PipelineStages : public testing::TestWithParam<StageCase> {};

TEST_P(PipelineStages, Arithmetic) {
  std::string summary = Summary(GetParam());
  // Rows about sizes and counts leave the first dot out.
  if (strchr(GetParam().expected, '@') == nullptr) summary = summary.substr(0, summary.find('@'));
  EXPECT_EQ(summary, GetParam().expected);
}

// Every expected value is worked out by hand from the stage's rule, at 203 dpi unless said
// otherwise; a black page prints every dot of its BITMAP (bytes per row, rows).
const StageCase
    kCases
        [] =
            {
                // Resolution conversion truncates: 100 px at 300 dpi is 67.67 -> 67 printer dots.
                {"conversion truncates", 100, 100, Uniform(0),
                 [](quorvel::test::RenderJob& j) {
                   j.dev.dmPrintQuality = j.dev.dmYResolution = 300;
                 },
                 "BITMAP 0,0,9,67,0,|dots 4489"},
                // Half the resolution across but twice along: resampled, not area-shrunk (the
                // shrink
                // averages whole source areas and cannot grow an axis); 8 x 16.08 -> 8 x 16 dots.
                {"one axis grows: resampled", 16, 8,
                 [](int x, int y) -> uint8_t {
                   return static_cast<uint8_t>((x * 37 + y * 91) % 256);
                 },
                 [](quorvel::test::RenderJob& j) {
                   j.dev.dmPrintQuality = 406;
                   j.dev.dmYResolution = 101;
                 },
                 "BITMAP 0,0,1,16,0,|dots 68"},
                // Fit: 50 mm at 203 dpi is 399.6 + 0.5 -> 400 dots; the height 400 x 50 / 480
                // = 41.67
                // is truncated to 41.
                {"fit rounds the width, truncates the height", 480, 50, Uniform(0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sMaxOutputWidth = 50; },
                 "BITMAP 0,0,50,41,0,|dots 16400"},
                // Auto-rotation of a wide page needs it to exceed the maximum width by over 20 mm:
                // 480 dots are 60.06 + 0.5 - 50 = 10.6 mm over, so the page is fitted, not turned.
                {"10 mm too wide: fitted, not turned", 480, 40, Uniform(0),
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sMaxOutputWidth = 50;
                   j.cfg.sAutoRotate90 = 1;
                 },
                 "BITMAP 0,0,50,33,0,|dots 13200"},
                // 560 dots are 70.07 + 0.5 - 50 = 20.6 mm over and wider than 40 + 40 rows: turned.
                {"20.6 mm too wide: turned", 560, 40, Uniform(0),
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sMaxOutputWidth = 50;
                   j.cfg.sAutoRotate90 = 1;
                 },
                 "BITMAP 0,0,5,560,0,|dots 22400"},
                // A tall page turns only when taller than its width plus 5 mm (40 dots at 203 dpi).
                {"tall by 30 dots: not turned", 100, 130, Uniform(0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sAutoRotate90 = 1; },
                 "BITMAP 0,0,13,130,0,|dots 13000"},
                {"tall by 50 dots: turned", 100, 150, Uniform(0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sAutoRotate90 = 1; },
                 "BITMAP 0,0,19,100,0,|dots 15000"},
                // Halftone methods 1..11 are used as asked, others fall back to 1: method 10's
                // ordered
                // pattern prints half of a 128 gray, method 1's threshold (white above 128) all of
                // it.
                {"method 10", 32, 8, Uniform(128),
                 [](quorvel::test::RenderJob& j) { j.cfg.sHalftoneMethod = 10; },
                 "BITMAP 0,0,4,8,0,|dots 128"},
                {"method 12 prints as 1", 32, 8, Uniform(128),
                 [](quorvel::test::RenderJob& j) { j.cfg.sHalftoneMethod = 12; },
                 "BITMAP 0,0,4,8,0,|dots 256"},
                // Dashes: a run of 40 dots is round(5.005) = 5 mm, long enough for a 5 mm minimum,
                // so 32
                // of the 82 dots are cleared (1 mm = 8 dots black, 8 white; the last row is never
                // dashed).
                {"run equal to the minimum is dashed", 41, 2, Uniform(0),
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sIsLineImaginary = 1;
                   j.cfg.sMinImaginaryLineLen = 5;
                   j.cfg.sBlackInterval = j.cfg.sWhiteInterval = 1;
                 },
                 "BITMAP 0,0,6,2,0,|dots 50"},
                // Levels 50 (gamma 0.5) lifts gray 128 to 255 x (128 / 255)^0.5 = 181, above method
                // 1's
                // threshold; levels 100 leaves it at 128.
                {"levels 50 lightens", 32, 8, Uniform(128),
                 [](quorvel::test::RenderJob& j) { j.cfg.nLevelsAdj = 50; },
                 "BITMAP 0,0,4,8,0,|dots 0"},
                {"levels 100 keeps", 32, 8, Uniform(128),
                 [](quorvel::test::RenderJob& j) { j.cfg.nLevelsAdj = 100; },
                 "BITMAP 0,0,4,8,0,|dots 256"},
                // Print mode 1 crops before scaling (widths to whole bytes); content one row high
                // counts as nothing to print.
                {"one-row content prints nothing", 16, 8,
                 [](int, int y) -> uint8_t { return y == 3 ? 0 : 255; },
                 [](quorvel::test::RenderJob& j) { j.cfg.sPaperMode = 1; }, ""},
                // ... while content wider than 30 mm keeps its width (the cap is 300 mm).
                {"print mode 1 keeps 300 dots", 300, 4, Uniform(0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sPaperMode = 1; },
                 "BITMAP 0,0,38,4,0,|dots 1200"},
                // Twice the printer resolution on both axes is area-shrunk, half of it resampled:
                // the
                // black top-left quarter stays a quarter, 200 x 120 of 400 x 240 dots.
                {"both axes shrink", 800, 480, TopLeftQuarter(800, 480),
                 [](quorvel::test::RenderJob& j) {
                   j.dev.dmPrintQuality = j.dev.dmYResolution = 406;
                 },
                 "BITMAP 0,0,50,240,0,|dots 24000@0,0"},
                {"both axes grow", 200, 120, TopLeftQuarter(200, 120),
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sOutputXDPI = j.cfg.sOutputYDPI = 202;
                   j.dev.dmPrintQuality = j.dev.dmYResolution = 101;
                 },
                 "BITMAP 0,0,50,240,0,|dots 24000@0,0"},
                // Gray 60 with brightness 50 is 110 (black) once, 160 (white) if the fit applied
                // the tones
                // a second time; 1000 dots at 254 dpi fit into 80 mm = 800 dots, 100 rows into 80.
                {"fit applies the tones once", 1000, 100, Uniform(60),
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sOutputXDPI = j.cfg.sOutputYDPI = j.dev.dmPrintQuality =
                       j.dev.dmYResolution = 254;
                   j.cfg.nBrightness = 50;
                   j.cfg.sMaxOutputWidth = 80;
                 },
                 "BITMAP 0,0,100,80,0,|dots 64000"},
                // 2000 x 2 fitted to 800 dots would be (int)(800 x 2 / 2000) = 0 rows high; it
                // keeps one.
                {"fit keeps one row", 2000, 2, Uniform(0),
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sOutputXDPI = j.cfg.sOutputYDPI = j.dev.dmPrintQuality =
                       j.dev.dmYResolution = 254;
                   j.cfg.sMaxOutputWidth = 80;
                 },
                 "BITMAP 0,0,100,1,0,|dots 800"},
                // No Levels (gamma 0), no Halftone (0), no maximum width: printed in full,
                // unscaled.
                {"missing options still print", 1600, 16, Uniform(0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sHalftoneMethod = 0; },
                 "BITMAP 0,0,200,16,0,|dots 25600"},
                // A one-row raster at twice the printer resolution converts to 0 rows: skipped.
                {"converted to no rows", 64, 1, Uniform(0),
                 [](quorvel::test::RenderJob& j) {
                   j.dev.dmPrintQuality = j.dev.dmYResolution = 406;
                 },
                 ""},
                // Rotation types from one black dot at the top left of 16 x 8: a quarter turn
                // clockwise
                // (top right of 8 x 16), counter-clockwise (bottom left), half way (bottom right).
                {"turned clockwise", 16, 8, Dot(0, 0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sRotate90 = 1; },
                 "BITMAP 0,0,1,16,0,|dots 1@7,0"},
                {"turned counter-clockwise", 16, 8, Dot(0, 0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sRotate90 = j.cfg.sRotation = 1; },
                 "BITMAP 0,0,1,16,0,|dots 1@0,15"},
                {"turned half way", 16, 8, Dot(0, 0),
                 [](quorvel::test::RenderJob& j) { j.cfg.sRotation = 1; },
                 "BITMAP 0,0,2,8,0,|dots 1@15,7"},
                // AutoRotate 3 turns a page that is too wide clockwise: 100.5 mm at 254 dpi is over
                // 20 mm
                // beyond 80 mm and W > H + 50; the top-left dot lands top right of 200 x 1000.
                {"automatic turn is clockwise", 1000, 200, Dot(0, 0),
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sOutputXDPI = j.cfg.sOutputYDPI = j.dev.dmPrintQuality =
                       j.dev.dmYResolution = 254;
                   j.cfg.sMaxOutputWidth = 80;
                   j.cfg.sAutoRotate90 = 3;
                 },
                 "BITMAP 0,0,25,1000,0,|dots 1@199,0"},
                // Print mode 1 crops first: a 16 x 80 block at (96, 0) of 256 x 600 is a portrait
                // that
                // AutoRotate 1 turns; the turned crop's top is 0 + 15 - 111 = -96, yet all 16 rows
                // print.
                {"turned crop keeps its rows", 256, 600,
                 [](int x, int y) -> uint8_t { return x >= 96 && x < 112 && y < 80 ? 0 : 255; },
                 [](quorvel::test::RenderJob& j) {
                   j.cfg.sPaperMode = 1;
                   j.cfg.sAutoRotate90 = 1;
                 },
                 "BITMAP 0,0,10,16,0,|dots 1280@0,0"},
                {"negative prints the white", 16, 4,
                 [](int x, int) -> uint8_t { return x < 8 ? 0 : 255; },
                 [](quorvel::test::RenderJob& j) { j.cfg.bNegative = 1; },
                 "BITMAP 0,0,2,4,0,|dots 32@8,0"},
};

TEST(PipelineStagesNoPage, WithoutAPageBufferNothingIsWritten) {
  quorvel::test::RenderJob job;
  quorvel::test::StdoutCapture capture;
  EXPECT_FALSE(job.renderer.TransCommand(true));
  EXPECT_EQ(capture.Take(), "");
}

INSTANTIATE_TEST_SUITE_P(Table, PipelineStages, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<StageCase>& info) {
                           return "Row" + std::to_string(info.index);
                         });

}  // namespace

// Both scaling stages share one dispatch. Its row padding is white and a failed scaling
// gives no page: with a black fill, whatever the scaling leaves unwritten would print.
TEST(ScalePage, PaddingIsWhiteAndFailureGivesNoPage) {
  CBmpProcessing proc;
  const uint8_t black[8] = {};  // 2 x 2 8-bit gray, stride 4
  // Shrunk to 1 x 1 (3 padding bytes) and resampled to 3 x 2 (1 padding byte a row).
  MallocBytes shrunk = quorvel::render::ScalePage(proc, black, 2, 2, 8, 4, 1, 1, 4, true);
  ASSERT_TRUE(shrunk);
  EXPECT_EQ(std::vector<uint8_t>(shrunk.get(), shrunk.get() + 4),
            (std::vector<uint8_t>{0, 255, 255, 255}));
  MallocBytes grown = quorvel::render::ScalePage(proc, black, 2, 2, 8, 4, 3, 2, 8, false);
  ASSERT_TRUE(grown);
  EXPECT_EQ(std::vector<uint8_t>(grown.get(), grown.get() + 8),
            (std::vector<uint8_t>{0, 0, 0, 255, 0, 0, 0, 255}));
  // The area shrink refuses a 1-bit source: no page rather than an unwritten one.
  EXPECT_FALSE(quorvel::render::ScalePage(proc, black, 2, 2, 1, 4, 1, 1, 4, true));
}
