// Malformed and extreme raster streams through the filter executable: a bad page between two
// good ones is refused with one "ERROR: ..." line and leaves the good pages' TSPL exactly as
// without it; odd but valid pages print; truncated streams end the job cleanly.
#include <cups/raster.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/hardening/hardening_util.h"
#include "tests/support/raster_writer.h"

namespace quorvel::test {
namespace {

RasterPage Good() {
  RasterPage p;
  p.width = 48;
  p.height = 24;
  p.fill = GradientRgb();
  return p;
}

RunResult RunJob(const std::string& raster, const std::string& options = "") {
  FilterRun run;
  run.args = JobArgs(options);
  run.ppd = SamplePpd();
  run.stdinData = raster;
  run.timeoutMs = 120000;
  return RunFilter(run);
}

// True when `out` begins with the first half of `reference` (the first page's TSPL, which
// is at least half of a two-page reference).
bool StartsLike(const std::string& out, const std::string& reference) {
  const size_t n = reference.size() / 2;
  return out.compare(0, n, reference, 0, n) == 0;
}

enum class Outcome {
  kRejected,  // refused by the page read: its ERROR line, no TSPL of its own
  kPrinted,   // odd but valid: it prints
  // libcups itself refuses the header (no rows, or rows that are no whole number of pixels)
  // and reports it as the end of the stream, which the filter cannot tell from a real end:
  // the job ends after the pages before it.
  kEndsStream,
};

struct BadPage {
  const char* name;
  std::function<void(RasterPage&)> make;
  Outcome outcome;
  const char* reason;  // expected in the ERROR line of a rejected page
};

void Tweak(RasterPage& p, std::function<void(cups_page_header2_t&)> tweak) {
  p.tweak = std::move(tweak);
}

void Space(RasterPage& p, cups_cspace_t space, uint32_t bitsPerColor) {
  p.colorSpace = space;
  p.bitsPerColor = bitsPerColor;
}

const std::vector<BadPage>& AllBadPages() {
  static const std::vector<BadPage> pages = {
      {"ZeroWidth", [](RasterPage& p) { p.width = 0; }, Outcome::kEndsStream, ""},
      {"ZeroHeight", [](RasterPage& p) { p.height = 0; }, Outcome::kEndsStream, ""},
      {"BytesPerLineLonger",
       [](RasterPage& p) { Tweak(p, [](cups_page_header2_t& h) { h.cupsBytesPerLine += 3; }); },
       Outcome::kRejected, "cupsBytesPerLine"},
      {"BytesPerLineShorterByAPixel",
       [](RasterPage& p) { Tweak(p, [](cups_page_header2_t& h) { h.cupsBytesPerLine -= 3; }); },
       Outcome::kRejected, "cupsBytesPerLine"},
      {"BytesPerLineNotWholePixels",
       [](RasterPage& p) { Tweak(p, [](cups_page_header2_t& h) { h.cupsBytesPerLine -= 1; }); },
       Outcome::kEndsStream, ""},
      {"Rgb1", [](RasterPage& p) { p.bitsPerColor = 1; }, Outcome::kRejected, "unsupported"},
      {"Rgb2", [](RasterPage& p) { p.bitsPerColor = 2; }, Outcome::kRejected, "unsupported"},
      {"Rgb4", [](RasterPage& p) { p.bitsPerColor = 4; }, Outcome::kRejected, "unsupported"},
      {"Rgb16", [](RasterPage& p) { p.bitsPerColor = 16; }, Outcome::kRejected, "unsupported"},
      {"Gray2", [](RasterPage& p) { Space(p, CUPS_CSPACE_W, 2); }, Outcome::kRejected,
       "unsupported"},
      {"Gray4", [](RasterPage& p) { Space(p, CUPS_CSPACE_SW, 4); }, Outcome::kRejected,
       "unsupported"},
      {"Black16", [](RasterPage& p) { Space(p, CUPS_CSPACE_K, 16); }, Outcome::kRejected,
       "unsupported"},
      {"Cmyk8", [](RasterPage& p) { Space(p, CUPS_CSPACE_CMYK, 8); }, Outcome::kRejected,
       "unsupported"},
      {"Rgba8", [](RasterPage& p) { Space(p, CUPS_CSPACE_RGBA, 8); }, Outcome::kRejected,
       "unsupported"},
      {"Cmy8", [](RasterPage& p) { Space(p, CUPS_CSPACE_CMY, 8); }, Outcome::kRejected,
       "unsupported"},
      {"Banded", [](RasterPage& p) { p.colorOrder = CUPS_ORDER_BANDED; }, Outcome::kRejected,
       "unsupported"},
      {"Planar", [](RasterPage& p) { p.colorOrder = CUPS_ORDER_PLANAR; }, Outcome::kRejected,
       "unsupported"},
      {"ResolutionZero", [](RasterPage& p) { p.xdpi = 0; }, Outcome::kRejected,
       "invalid resolution"},
      {"ResolutionMillion", [](RasterPage& p) { p.xdpi = p.ydpi = 1000000; }, Outcome::kRejected,
       "invalid resolution"},
      {"ResolutionOne",
       [](RasterPage& p) {
         p.xdpi = p.ydpi = 1;  // 8 x 4 inches at the printer's 203 dpi
         p.width = 8;
         p.height = 4;
       },
       Outcome::kPrinted, ""},
      {"WiderThanAnyLabel",
       [](RasterPage& p) {
         p.width = 2400;  // 300 mm at 203 dpi: scaled down to the widest printable width
         p.height = 3200;
       },
       Outcome::kPrinted, ""},
  };
  return pages;
}

std::vector<BadPage> RefusedPages() {
  std::vector<BadPage> refused;
  for (const BadPage& p : AllBadPages()) {
    if (p.outcome != Outcome::kPrinted) refused.push_back(p);
  }
  return refused;
}

std::string Name(const testing::TestParamInfo<BadPage>& info) { return info.param.name; }

class BadMiddlePage : public testing::TestWithParam<BadPage> {};

TEST_P(BadMiddlePage, GoodPagesAroundItPrintUnchanged) {
  const BadPage& c = GetParam();
  RasterPage bad = Good();
  c.make(bad);
  const RunResult reference = RunJob(RasterBytes({Good(), Good()}));
  ASSERT_EQ(reference.exitStatus, 0);
  const RunResult r = RunJob(RasterBytes({Good(), bad, Good()}));
  ExpectCleanEnd(r);
  const Tspl tspl = ReadTspl(r.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;
  switch (c.outcome) {
    case Outcome::kRejected:
      EXPECT_EQ(r.err.rfind("ERROR: Page 2 skipped: ", 0), 0u) << r.err;
      EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("Page 1"), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("Page 3"), std::string::npos) << r.err;
      EXPECT_EQ(tspl.labels, 2);
      EXPECT_TRUE(r.out == reference.out) << "a rejected page changed the other pages' output";
      break;
    case Outcome::kEndsStream:
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(tspl.labels, 1);
      EXPECT_TRUE(StartsLike(r.out, reference.out)) << "the first page's output changed";
      break;
    case Outcome::kPrinted:
      EXPECT_EQ(tspl.labels, 3) << r.err;
      EXPECT_TRUE(StartsLike(r.out, reference.out)) << "the first page's output changed";
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, BadMiddlePage, testing::ValuesIn(AllBadPages()), Name);

// The same pages as the job's first page, whose header also configures the job.
class BadFirstPage : public testing::TestWithParam<BadPage> {};

TEST_P(BadFirstPage, IsRefusedAndTheNextPagePrints) {
  const BadPage& c = GetParam();
  RasterPage bad = Good();
  c.make(bad);
  const RunResult r = RunJob(RasterBytes({bad, Good()}));
  // A stream that ends before any page printed nothing: status 1 for cupsd.
  ExpectCleanEnd(r, c.outcome == Outcome::kEndsStream ? 1 : 0);
  const Tspl tspl = ReadTspl(r.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;
  if (c.outcome == Outcome::kEndsStream) {
    EXPECT_EQ(r.err, "ERROR: No pages were found.\n");
    EXPECT_EQ(r.out, "");
    return;
  }
  EXPECT_EQ(r.err.rfind("ERROR: Page 1 skipped: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  EXPECT_EQ(tspl.labels, 1) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Pages, BadFirstPage, testing::ValuesIn(RefusedPages()), Name);

// A stream cut inside the second page's header ends the job after page 1; one cut inside
// its pixel data prints the rows that arrived (the rest stays blank), as a page.
TEST(TruncatedStream, EndsTheJobAfterTheLastCompletePart) {
  const std::string one = RasterBytes({Good()});
  const std::string two = RasterBytes({Good(), Good()});
  const RunResult reference = RunJob(two);
  const size_t header = 1796;  // bytes of a version 3 page header
  const size_t pageData = 48 * 3 * 24;
  ASSERT_EQ(two.size(), one.size() + header + pageData);

  const RunResult inHeader = RunJob(two.substr(0, one.size() + header / 2));
  ExpectCleanEnd(inHeader);
  EXPECT_EQ(ReadTspl(inHeader.out).labels, 1);
  EXPECT_TRUE(StartsLike(inHeader.out, reference.out));

  const RunResult inPage = RunJob(two.substr(0, one.size() + header + pageData / 3));
  ExpectCleanEnd(inPage);
  const Tspl tspl = ReadTspl(inPage.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;
  EXPECT_EQ(tspl.labels, 2);
  EXPECT_TRUE(StartsLike(inPage.out, reference.out));

  // A header claiming a page far beyond the page-buffer limit, with a few rows of data.
  RasterPage huge = Good();
  huge.width = 30000;
  huge.height = 30000;
  huge.rowsToWrite = 2;
  const RunResult r = RunJob(RasterBytes({Good(), huge}));
  ExpectCleanEnd(r);
  EXPECT_EQ(r.err.rfind("ERROR: Page 2 skipped: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("MiB"), std::string::npos) << r.err;
  EXPECT_EQ(ReadTspl(r.out).labels, 1);
}

// Thousands of tiny pages: every one printed, in bounded time.
TEST(ManyPages, ThousandsOfTinyPagesAllPrint) {
  RasterPage tiny;
  tiny.width = 8;
  tiny.height = 8;
  tiny.fill = SolidRgb(0, 0, 0);
  const std::vector<RasterPage> pages(1500, tiny);
  const RunResult r = RunJob(RasterBytes(pages));
  ExpectCleanEnd(r);
  EXPECT_EQ(r.err, "");
  const Tspl tspl = ReadTspl(r.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;
  EXPECT_EQ(tspl.labels, 1500);
}

}  // namespace
}  // namespace quorvel::test
