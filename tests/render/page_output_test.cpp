// Page output: bitmap packing with the sub-byte offset and mirroring, label sizes, placement,
// and the cutter plans of every cut method across the pages of a job.
#include "render/page_output.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/render/render_test_util.h"

namespace {

using qevrender::PageImage;
using qevtest::Art;
using qevtest::ReadableTspl;

// A white 8-bit image of w × h (stride rounded up to 4 bytes) with chosen pixels set.
struct Image {
  int w, h, stride;
  std::vector<uint8_t> px;
  Image(int width, int height)
      : w(width), h(height), stride((width + 3) / 4 * 4), px(stride * height, 255) {}
  Image& Set(int x, int y, uint8_t v = 0) {
    px.at(y * stride + x) = v;
    return *this;
  }
  PageImage View() const { return PageImage{px.data(), w, h, stride}; }
};

std::string WritePage(qevtest::RenderJob& job, const Image& img, tagRECT rect, int rotation = 3,
                      bool last = true) {
  qevtest::StdoutCapture capture;
  qevrender::WritePageOutput(job.renderer, job.cfg, job.dev, job.pdev, img.View(), rect, rotation,
                             last);
  return ReadableTspl(capture.Finish());
}

TEST(PageOutput, ByteAlignedHeaderAndSubByteOffset) {
  // Image rectangle (13, 0, 812, 99): X0 = 13 / 8 * 8 = 8, P = 13 mod 8 = 5,
  // R = (812 - 8 + 8) / 8 = 101, B = 812 - 8 + 1 = 805, N = 100.
  qevtest::RenderJob job;
  Image img(800, 100);
  img.Set(0, 0).Set(799, 99, 1);  // a pixel of 1 prints like a pixel of 0
  img.Set(400, 50, 254);          // anything but 255 prints
  const std::string expected =
      "CLS\n"
      "SIZE 813 dot,100 dot\n"  // X0 + B = 813; top 0 + N
      "BITMAP 8,0,101,100,0,\n" +
      Art(101, 100).Dot(5, 0).Dot(5 + 799, 99).Dot(5 + 400, 50).Text() + "PRINT 1,1\n";
  EXPECT_EQ(WritePage(job, img, {13, 0, 812, 99}), expected);

  // The first image pixel is bit 2 (7 - P) of byte 0.
  const auto geo = qevrender::OutputGeometry({13, 0, 812, 99}, false, 0);
  auto bits = qevrender::PackBitmap(img.View(), geo, false);
  ASSERT_TRUE(bits);
  EXPECT_EQ(bits.get()[0], 0xFB);
  EXPECT_EQ(geo.bitsPerRow, 805);
  EXPECT_EQ(geo.alignedLeft, 8);
}

TEST(PageOutput, MirrorReversesRowsWithinTheirBytes) {
  // Mirrored in a label width of 0: (0, 0, 799, 99) becomes (-799, 0, 0, 99);
  // -799 / 8 * 8 = -792 (truncated toward zero), so B = 0 + 792 + 1 = 793, R = 100, X0 = 0.
  qevtest::RenderJob job;
  job.cfg.sMirror = 1;
  Image img(800, 100);
  img.Set(799, 0).Set(0, 1).Set(3, 2);
  const std::string expected =
      "CLS\n"
      "SIZE 793 dot,100 dot\n"
      "BITMAP 0,0,100,100,0,\n" +  // left below 1: x = 0
      Art(100, 100).Dot(0, 0).Dot(799, 1).Dot(796, 2).Text() +
      "PRINT 1,1\n";
  EXPECT_EQ(WritePage(job, img, {0, 0, 799, 99}), expected);
}

TEST(PageOutput, MirroredRowNeverSpillsIntoTheNextRow) {
  // (1, 0, 15, 1) mirrors to (-15, 0, -1, 1): R = (-1 + 8 + 8) / 8 = 1 byte per row, while the
  // image spans 15 columns. Each row keeps to its own byte.
  Image img(15, 2);
  for (int x = 0; x < 15; ++x) img.Set(x, 0);
  const auto geo = qevrender::OutputGeometry({1, 0, 15, 1}, true, 0);
  ASSERT_EQ(geo.bytesPerRow, 1);
  auto bits = qevrender::PackBitmap(img.View(), geo, true);
  ASSERT_TRUE(bits);
  EXPECT_EQ(bits.get()[0], 0x00);  // dots 0..7 show columns 14..7, all black
  EXPECT_EQ(bits.get()[1], 0xFF);  // the white second row stays white
}

TEST(PageOutput, ImageAboveTheLabelKeepsAllItsRows) {
  // A turned crop with top -4 and bottom 5 is a 10-row image: it is placed at top 0 with all
  // ten rows instead of losing the four that lie above the label.
  qevtest::RenderJob job;
  Image img(8, 10);
  img.Set(0, 9);
  const std::string expected =
      "CLS\nSIZE 8 dot,10 dot\nBITMAP 0,0,1,10,0,\n" + Art(1, 10).Dot(0, 9).Text() + "PRINT 1,1\n";
  EXPECT_EQ(WritePage(job, img, {0, -4, 7, 5}), expected);
}

TEST(PageOutput, SubByteOffsetsKeepEveryDotInPlace) {
  std::mt19937 rng(7);
  for (int left = 0; left < 8; ++left) {
    Image img(21, 3);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 21; ++x) img.Set(x, y, rng() % 3 == 0 ? 0 : 255);
    }
    const auto geo = qevrender::OutputGeometry({left, 0, left + 20, 2}, false, 0);
    auto bits = qevrender::PackBitmap(img.View(), geo, false);
    ASSERT_TRUE(bits);
    for (int y = 0; y < 3; ++y) {
      for (int dot = 0; dot < geo.bytesPerRow * 8; ++dot) {
        const int x = dot - left;  // the image starts at dot `left`, the buffer at dot 0
        const bool inked = x >= 0 && x < 21 && img.px[y * img.stride + x] != 255;
        const bool bit = (bits.get()[y * geo.bytesPerRow + dot / 8] >> (7 - dot % 8)) & 1;
        EXPECT_EQ(bit, !inked) << "left " << left << " row " << y << " dot " << dot;
      }
    }
  }
}

TEST(PageOutput, SavePaperAndPrintModeOneLabelSizes) {
  // A 40-row image at (16, 30): the label is N + 8 = 48 dots long and the image moves to the
  // top of it; B = 415 - 16 + 1 = 400 and X0 = 16 give the width 416.
  Image img(400, 40);
  img.Set(0, 0);
  const std::string art = Art(50, 40).Dot(0, 0).Text();
  for (int mode : {0, 1}) {
    qevtest::RenderJob job;
    (mode == 0 ? job.cfg.sSavePaperMode : job.cfg.sPaperMode) = 1;
    job.pdev.srcGdiInfo.szlPhysSize = {812, 1218};  // 812 dots wide: under 104 mm = 831 dots
    EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
              "CLS\nSIZE 416 dot,48 dot\nBITMAP 16,0,50,40,0,\n" + art + "PRINT 1,1\n");

    // A vertical offset of 2.0 mm moves the bitmap down by (int)(15.98 + 0.5) = 16 dots; a
    // page wider than the maximum of 831 dots caps B at (831 + 7) / 8 * 8 = 832.
    job.cfg.sVtcOffset = 20;
    job.pdev.srcGdiInfo.szlPhysSize = {1218, 812};
    EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
              "CLS\nSIZE 848 dot,48 dot\nBITMAP 16,16,50,40,0,\n" + art + "PRINT 1,1\n");

    // A missing maximum width (0) never caps the label.
    job.cfg.sMaxOutputWidth = 0;
    EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
              "CLS\nSIZE 416 dot,48 dot\nBITMAP 16,16,50,40,0,\n" + art + "PRINT 1,1\n");
  }
  // Without either mode the label reaches from the page top to the image's end: 30 + 40.
  qevtest::RenderJob job;
  EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
            "CLS\nSIZE 416 dot,70 dot\nBITMAP 16,30,50,40,0,\n" + art + "PRINT 1,1\n");
}

TEST(PageOutput, PhysicalOffsetShiftsByRotationType) {
  // Offsets of (200, 400) raster pixels at 203 dpi are as many printer dots.
  struct Case {
    int rotation;
    const char* header;
  } cases[] = {
      {0, "BITMAP 400,0,1,1,0,"},    // left and right move by y
      {1, "BITMAP 0,0,1,1,0,"},      // no shift
      {2, "BITMAP 0,200,1,1,0,"},    // top and bottom move by x
      {3, "BITMAP 200,400,1,1,0,"},  // left by x, top by y
  };
  for (const Case& c : cases) {
    qevtest::RenderJob job;
    job.pdev.srcGdiInfo.ptlPhysOffset = {200, 400};
    Image img(8, 1);
    const std::string out = WritePage(job, img, {0, 0, 7, 0}, c.rotation);
    EXPECT_NE(out.find(std::string(c.header) + "\n"), std::string::npos)
        << "rotation " << c.rotation << "\n"
        << out;
  }
}

// ---- cutter plans ----

struct JobPlan {
  const char* name;
  uint64_t operation;              // dwOperationAfterPrn
  uint64_t method;                 // dwOperationModeAfterPrn
  int interval;                    // sIntervalValue
  int copies;                      // sCurCopies
  std::vector<std::string> pages;  // per page: cutter lines "C<n>" and blocks "<copies>"
  uint32_t printed;                // dwPagePrinted after the job
};

std::string PlanText(const std::vector<qevrender::PrintStep>& steps) {
  std::string t;
  for (const auto& s : steps) {
    if (!t.empty()) t += ' ';
    t += (s.kind == qevrender::PrintStep::kCutter ? "C" : "") + std::to_string(s.value);
  }
  return t;
}

class CutterPlan : public testing::TestWithParam<JobPlan> {};

TEST_P(CutterPlan, OverTheJob) {
  const JobPlan& p = GetParam();
  tagOEMCFG cfg{};
  cfg.dwOperationAfterPrn = p.operation;
  cfg.dwOperationModeAfterPrn = p.method;
  cfg.sIntervalValue = static_cast<int16_t>(p.interval);
  uint32_t printed = 0;
  for (size_t page = 1; page <= p.pages.size(); ++page) {
    const bool last = page == p.pages.size();
    const auto steps = qevrender::PlanPrintSteps(cfg, static_cast<uint32_t>(page),
                                                 static_cast<int16_t>(p.copies), last, &printed);
    EXPECT_EQ(PlanText(steps), p.pages[page - 1]) << "page " << page;
  }
  EXPECT_EQ(printed, p.printed);
}

INSTANTIATE_TEST_SUITE_P(
    AllMethods, CutterPlan,
    testing::Values(
        // No cutter: one block of K per page, the counter stays.
        JobPlan{"Tear", 3, 3, 3, 4, {"4", "4"}, 0},
        // Method 1: "SET CUTTER 1" once, before the first page's block.
        JobPlan{"EveryLabel", 4, 1, 0, 2, {"C1 2", "2", "2"}, 6},
        // Method 2: OFF on the first page, a cut of K on the last.
        JobPlan{"EndOfJobOnePage", 4, 2, 0, 3, {"C3 3"}, 3},
        JobPlan{"EndOfJobOneCopy", 4, 2, 0, 1, {"C0 1", "1", "C1 1"}, 3},
        // Method 3 without an interval: cut only at the last page.
        JobPlan{"NoInterval", 4, 3, 0, 2, {"C0 2", "C1 2"}, 4},
        // Method 3, I = 3, K = 5: T = 5 gives one cut group (2 + 1) and a rest of 2; page 2
        // starts at L mod 3 = 2, T = 7: groups of 0 + 1 and 2 + 1, then the rest 1 becomes 0
        // on the last page and is followed by the final cut label.
        JobPlan{"IntervalThreeFiveCopies",
                4,
                3,
                3,
                5,
                {"C0 2 C1 1 C0 2", "C0 0 C1 1 C0 2 C1 1 C0 0 C1 1"},
                10},
        // Method 3, I = 2, one copy: OFF where (page - 1) mod 2 = 0, a cut when (1 + L) mod 2
        // = 0 or on the last page.
        JobPlan{"IntervalTwoOneCopy", 4, 3, 2, 1, {"C0 1", "C1 1", "C1 1"}, 3},
        // Method 3, I = 1: the cut set on page 1 holds for the later pages.
        JobPlan{"IntervalOne", 4, 3, 1, 1, {"C1 1", "1", "1"}, 3},
        // Unknown method: no bitmap, no PRINT.
        JobPlan{"UnknownMethod", 4, 7, 0, 2, {"", ""}, 0}),
    [](const testing::TestParamInfo<JobPlan>& info) { return std::string(info.param.name); });

TEST(PageOutput, CutterJobRepeatsTheSameBitmapPerBlock) {
  // The I = 3, K = 5 example through the writer: every block carries the same bitmap, a block
  // of 0 copies is written as "PRINT 1,0", and collation prints 1 while L counts the copies.
  qevtest::RenderJob job;
  job.cfg.dwOperationAfterPrn = 4;
  job.cfg.dwOperationModeAfterPrn = 3;
  job.cfg.sIntervalValue = 3;
  job.pdev.sCurCopies = 5;
  Image img(8, 1);
  img.Set(2, 0);
  const std::string block = "BITMAP 0,0,1,1,0,\n..#.....\n";
  EXPECT_EQ(WritePage(job, img, {0, 0, 7, 0}, 3, false),
            "CLS\nSIZE 8 dot,1 dot\nSET CUTTER OFF\n" + block + "PRINT 1,2\nSET CUTTER 1\n" +
                block + "PRINT 1,1\nSET CUTTER OFF\n" + block + "PRINT 1,2\n");
  EXPECT_EQ(job.pdev.dwPagePrinted, 5u);
  job.pdev.dwCurPageNum = 2;
  job.dev.dmCollate = 1;
  const std::string page2 = WritePage(job, img, {0, 0, 7, 0}, 3, true);
  EXPECT_NE(page2.find("SET CUTTER OFF\n" + block + "PRINT 1,1\n"), std::string::npos) << page2;
  EXPECT_EQ(job.pdev.dwPagePrinted, 10u);

  // An unknown cut method leaves the label cleared and sized, without bitmap or PRINT.
  job.cfg.dwOperationModeAfterPrn = 9;
  EXPECT_EQ(WritePage(job, img, {0, 0, 7, 0}), "CLS\nSIZE 8 dot,1 dot\n");
}

}  // namespace
