// Page output: bitmap packing with the sub-byte offset and mirroring, label sizes, placement,
// and the cutter plans of every cut method across the pages of a job.
#include "render/page_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/render/render_test_util.h"

namespace {

using qevtest::Art;

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
  qevrender::PageImage View() const { return {px.data(), w, h, stride}; }
};

std::string WritePage(qevtest::RenderJob& job, const Image& img, tagRECT rect, int rotation = 3) {
  qevtest::StdoutCapture capture;
  qevrender::WritePageOutput(job.renderer, job.cfg, job.dev, job.pdev, img.View(), rect, rotation,
                             true);
  return qevtest::ReadableTspl(capture.Take());
}

TEST(PageOutput, ByteAlignedHeaderAndSubByteOffset) {
  // Image rectangle (13, 0, 812, 99): X0 = 13 / 8 * 8 = 8, P = 13 mod 8 = 5,
  // R = (812 - 8 + 8) / 8 = 101, B = 812 - 8 + 1 = 805, N = 100.
  qevtest::RenderJob job;
  Image img(800, 100);
  img.Set(0, 0).Set(799, 99, 1).Set(400, 50, 254);  // anything but 255 prints
  EXPECT_EQ(WritePage(job, img, {13, 0, 812, 99}),
            "CLS\nSIZE 813 dot,100 dot\nBITMAP 8,0,101,100,0,\n" +
                Art(101, 100).Dot(5, 0).Dot(5 + 799, 99).Dot(5 + 400, 50).Text() + "PRINT 1,1\n");
}

TEST(PageOutput, MirrorReversesRowsWithinTheirBytes) {
  // Mirrored in a label width of 0: (0, 0, 799, 99) becomes (-799, 0, 0, 99); -799 / 8 * 8 =
  // -792 (toward zero), so R = 100 and X0 = 0. The label keeps the unmirrored width of 800
  // (B of the mirrored rectangle, 793, would cut off the last 7 columns).
  qevtest::RenderJob job;
  job.cfg.sMirror = 1;
  Image img(800, 100);
  img.Set(799, 0).Set(0, 1).Set(3, 2);
  EXPECT_EQ(WritePage(job, img, {0, 0, 799, 99}),
            "CLS\nSIZE 800 dot,100 dot\nBITMAP 0,0,100,100,0,\n" +
                Art(100, 100).Dot(0, 0).Dot(799, 1).Dot(796, 2).Text() + "PRINT 1,1\n");

  // (1, 0, 15, 1) mirrors to (-15, 0, -1, 1): one byte per row for 15 columns. Each row keeps
  // to its own byte instead of spilling into the next row.
  Image wide(15, 2);
  for (int x = 0; x < 15; ++x) wide.Set(x, 0);
  const auto geo = qevrender::OutputGeometry({1, 0, 15, 1}, true, 0);
  ASSERT_EQ(geo.bytesPerRow, 1);
  auto bits = qevrender::PackBitmap(wide.View(), geo, true);
  ASSERT_TRUE(bits);
  EXPECT_EQ(bits.get()[0], 0x00);  // dots 0..7 show columns 14..7, all black
  EXPECT_EQ(bits.get()[1], 0xFF);  // the white second row stays white
}

TEST(PageOutput, ImageAboveTheLabelKeepsAllItsRows) {
  // A turned crop with top -4 and bottom 5 is a 10-row image: placed at top 0 with all ten.
  qevtest::RenderJob job;
  Image img(8, 10);
  img.Set(0, 9);
  EXPECT_EQ(WritePage(job, img, {0, -4, 7, 5}), "CLS\nSIZE 8 dot,10 dot\nBITMAP 0,0,1,10,0,\n" +
                                                    Art(1, 10).Dot(0, 9).Text() + "PRINT 1,1\n");
}

TEST(PageOutput, NoBitmapSendsNothingAndSaysSo) {
  // Right edge left of the aligned left edge: (7 - 16 + 8) / 8 = 0 bytes per row, no bitmap.
  qevtest::RenderJob job;
  Image img(8, 1);
  qevtest::StdoutCapture capture;
  EXPECT_FALSE(qevrender::WritePageOutput(job.renderer, job.cfg, job.dev, job.pdev, img.View(),
                                          {16, 0, 7, 0}, 3, true));
  EXPECT_EQ(capture.Take(), "");
}

TEST(PageOutput, SavePaperAndPrintModeOneLabelSizes) {
  // A 40-row image at (16, 30): the label is N + 8 = 48 dots long and the image moves to its
  // top; B = 415 - 16 + 1 = 400 and X0 = 16 give the width 416.
  Image img(400, 40);
  img.Set(0, 0);
  const std::string art = Art(50, 40).Dot(0, 0).Text() + "PRINT 1,1\n";
  for (int mode : {0, 1}) {
    qevtest::RenderJob job;
    (mode == 0 ? job.cfg.sSavePaperMode : job.cfg.sPaperMode) = 1;
    job.pdev.srcGdiInfo.szlPhysSize = {812, 1218};  // 812 dots wide: under 104 mm = 831 dots
    EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
              "CLS\nSIZE 416 dot,48 dot\nBITMAP 16,0,50,40,0,\n" + art);
    // A vertical offset of 2.0 mm moves the bitmap down by (int)(15.98 + 0.5) = 16 dots; a
    // page wider than the maximum of 831 dots caps B at (831 + 7) / 8 * 8 = 832.
    job.cfg.sVtcOffset = 20;
    job.pdev.srcGdiInfo.szlPhysSize = {1218, 812};
    EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
              "CLS\nSIZE 848 dot,48 dot\nBITMAP 16,16,50,40,0,\n" + art);
    job.cfg.sMaxOutputWidth = 0;  // a missing maximum width never caps the label
    EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
              "CLS\nSIZE 416 dot,48 dot\nBITMAP 16,16,50,40,0,\n" + art);
  }
  // Without either mode the label reaches from the page top to the image's end: 30 + 40.
  qevtest::RenderJob job;
  EXPECT_EQ(WritePage(job, img, {16, 30, 415, 69}),
            "CLS\nSIZE 416 dot,70 dot\nBITMAP 16,30,50,40,0,\n" + art);
}

TEST(PageOutput, PhysicalOffsetShiftsByRotationType) {
  // Offsets of (200, 400) raster pixels at 203 dpi are as many printer dots. Type 0 moves
  // left by y, 1 not at all, 2 top by x, 3 left by x and top by y.
  const char* headers[] = {"BITMAP 400,0,1,1,0,\n", "BITMAP 0,0,1,1,0,\n", "BITMAP 0,200,1,1,0,\n",
                           "BITMAP 200,400,1,1,0,\n"};
  for (int rotation = 0; rotation < 4; ++rotation) {
    qevtest::RenderJob job;
    job.pdev.srcGdiInfo.ptlPhysOffset = {200, 400};
    const std::string out = WritePage(job, Image(8, 1), {0, 0, 7, 0}, rotation);
    EXPECT_NE(out.find(headers[rotation]), std::string::npos) << rotation << "\n" << out;
  }
}

TEST(PageOutput, CutterPlansOverTheJob) {
  // Per page: cutter lines "C<n>" and print blocks "<copies>"; then the job's label counter.
  const struct {
    uint64_t operation, method;  // dwOperationAfterPrn, dwOperationModeAfterPrn
    int16_t interval, copies;
    std::vector<std::string> pages;
    uint32_t printed;
  } jobs[] = {
      // No cutter: one block of K per page, the counter stays.
      {3, 3, 3, 4, {"4", "4"}, 0},
      // Method 1: "SET CUTTER 1" once, before the first page's block.
      {4, 1, 0, 2, {"C1 2", "2", "2"}, 6},
      // Method 2: OFF on the first page, a cut of K on the last.
      {4, 2, 0, 3, {"C3 3"}, 3},
      {4, 2, 0, 1, {"C0 1", "1", "C1 1"}, 3},
      // Method 3 without an interval: cut only at the last page.
      {4, 3, 0, 2, {"C0 2", "C1 2"}, 4},
      // Method 3, I = 3, K = 5: T = 5 gives one cut group (2 + 1) and a rest of 2; page 2
      // starts at L mod 3 = 2, T = 7: groups of 0 + 1 and 2 + 1, then the rest 1 becomes 0 on
      // the last page and is followed by the final cut label.
      {4, 3, 3, 5, {"C0 2 C1 1 C0 2", "C0 0 C1 1 C0 2 C1 1 C0 0 C1 1"}, 10},
      // Method 3, I = 10, K = 2: no page reaches a cut, so each prints its 2 labels (not
      // T = (L mod I) + K), the last one ending with the job's cut label.
      {4, 3, 10, 2, {"C0 2", "C0 2", "C0 1 C1 1"}, 6},
      // Method 3, I = 2, one copy: OFF where (page - 1) mod 2 = 0, a cut when (1 + L) mod 2 =
      // 0 or on the last page.
      {4, 3, 2, 1, {"C0 1", "C1 1", "C1 1"}, 3},
      // Method 3, I = 1: the cut set on page 1 holds for the later pages.
      {4, 3, 1, 1, {"C1 1", "1", "1"}, 3},
      // Unknown method: no bitmap, no PRINT.
      {4, 7, 0, 2, {"", ""}, 0}};
  for (const auto& job : jobs) {
    tagOEMCFG cfg{};
    cfg.dwOperationAfterPrn = job.operation;
    cfg.dwOperationModeAfterPrn = job.method;
    cfg.sIntervalValue = job.interval;
    uint32_t printed = 0;
    for (size_t page = 1; page <= job.pages.size(); ++page) {
      std::string plan;
      for (const auto& s : qevrender::PlanPrintSteps(cfg, static_cast<uint32_t>(page), job.copies,
                                                     page == job.pages.size(), &printed)) {
        plan += (plan.empty() ? "" : " ") + std::string(s.kind == s.kCutter ? "C" : "") +
                std::to_string(s.value);
      }
      EXPECT_EQ(plan, job.pages[page - 1]) << "method " << job.method << " page " << page;
    }
    EXPECT_EQ(printed, job.printed) << "method " << job.method << " interval " << job.interval;
  }
}

}  // namespace
