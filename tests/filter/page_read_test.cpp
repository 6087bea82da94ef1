// The page read in process: every supported pixel format lands in the page buffer as the
// renderer expects it (blue first, gray with 0 black), and page headers are checked against
// the row length and the buffer limit before anything is allocated. Whole jobs with malformed
// headers and short streams are case folders (job_cases_test).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "filter/page_format.h"
#include "filter/pixel_swap.h"
#include "filter/raster_source.h"
#include "filter/rastoqevtspl.h"
#include "job/page_geometry.h"
#include "job/records.h"
#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"

namespace quorvel::test {
namespace {

TEST(PageRead, EveryFormatBecomesBgrOrEightBitGray) {
  // 0xA0 = bits 1010 0000: pixels 0 and 2 have their bit set. Expected: the first six bytes of
  // the page buffer; a set bit is black for K ink and white for W.
  const struct {
    cups_cspace_t space;
    uint32_t bits;
    RowFiller fill;
    std::vector<uint8_t> expected;
  } rows[] = {
      {CUPS_CSPACE_RGB, 8, SolidRgb(10, 20, 30), {30, 20, 10, 30, 20, 10}},  // red, blue swapped
      {CUPS_CSPACE_W, 8, SolidByte(200), {200, 200, 200, 200, 200, 200}},
      {CUPS_CSPACE_SW, 8, SolidByte(17), {17, 17, 17, 17, 17, 17}},
      {CUPS_CSPACE_K, 8, SolidByte(200), {55, 55, 55, 55, 55, 55}},  // ink amount: 255 - v
      {CUPS_CSPACE_K, 1, SolidByte(0xA0), {0, 255, 0, 255, 255, 255}},
      {CUPS_CSPACE_W, 1, SolidByte(0xA0), {255, 0, 255, 0, 0, 0}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "space " << row.space << ", " << row.bits << " bits");
    RasterPage p;
    p.width = 10;
    p.height = 3;
    p.colorSpace = row.space;
    p.bitsPerColor = row.bits;
    p.fill = row.fill;
    TempDir dir;
    ASSERT_TRUE(WriteRasterFile(dir.file("in.ras"), {p}));
    const int fd = open(dir.file("in.ras").c_str(), O_RDONLY);
    cups_raster_t* raster = OpenCountedRaster(fd);
    cups_page_header2_t header;
    ASSERT_TRUE(cupsRasterReadHeader2(raster, &header));
    testing::internal::CaptureStderr();
    GetPrintData(&header, raster, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(gOemPDev.pBufStart, nullptr);
    const uint32_t stride = row.space == CUPS_CSPACE_RGB ? 32 : 12;  // rows padded to 4 bytes
    EXPECT_EQ(gOemPDev.dwBufSize, stride * 3);
    for (uint32_t y = 0; y < 3; ++y) {
      const uint8_t* at = gOemPDev.pBufStart + y * stride;
      EXPECT_EQ(std::vector<uint8_t>(at, at + 6), row.expected) << "row " << y;
      EXPECT_EQ(at[stride - 1], 0) << "padding stays zero";
    }
    free(gOemPDev.pBufStart);
    gOemPDev.pBufStart = nullptr;
    ForgetCountedRaster(raster);
    cupsRasterClose(raster);
    close(fd);
  }
}

TEST(PageRead, FastRedBlueSwapMatchesThePlainOne) {
  // Widths around the five-pixel shuffle step and its 16-byte load, and a long row.
  for (uint32_t width : {0u, 1u, 4u, 5u, 6u, 9u, 10u, 11u, 16u, 31u, 812u, 1201u}) {
    std::vector<uint8_t> fast(3 * width + 7), plain;
    for (size_t i = 0; i < fast.size(); ++i) fast[i] = uint8_t(i * 37 + width);
    plain = fast;
    SwapRedBlue(fast.data(), width);
    SwapRedBluePlain(plain.data(), width);
    EXPECT_EQ(fast, plain) << "width " << width;  // the 7 bytes past the row included
  }
}

TEST(PageRead, HeadersAreCheckedBeforeAllocation) {
  const struct {
    cups_cspace_t space;
    uint32_t width, height;
    int bplDelta;  // added to the right cupsBytesPerLine
    bool accepted;
  } rows[] = {{CUPS_CSPACE_RGB, 16, 8, 0, true},
              {CUPS_CSPACE_RGB, 16, 8, 1, false},  // rows longer than the width: not this layout
              {CUPS_CSPACE_RGB, 16, 8, -1, false},
              {CUPS_CSPACE_W, 32768, 32768, 0, true},  // exactly kMaxPageBytes
              {CUPS_CSPACE_W, 32768, 32769, 0, false},
              {CUPS_CSPACE_RGB, 16, 0x7fffffff, 0, false},  // 128 GiB
              {CUPS_CSPACE_RGB, 0x55555556, 1, 0, false}};  // width x 24 overflows 32 bits
  for (const auto& row : rows) {
    RasterPage p;
    p.colorSpace = row.space;
    p.width = row.width;
    p.height = row.height;
    p.tweak = [&row](cups_page_header2_t& h) { h.cupsBytesPerLine += row.bplDelta; };
    PageLayout layout;
    std::string reason;
    EXPECT_EQ(CheckPageHeader(MakeHeader(p), &layout, &reason), row.accepted)
        << row.width << " x " << row.height << ", " << row.bplDelta << ": " << reason;
  }
}

}  // namespace
}  // namespace quorvel::test
