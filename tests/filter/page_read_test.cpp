// The page read in process: pixels land in the page buffer as the renderer expects them,
// failed reads leave zero rows, and page sizes are checked against the buffer limit before
// anything is allocated. Malformed headers go through whole jobs (job_cases_test).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// Opens a raster file written from `pages`, less its last `cutBytes` bytes, and reads pages
// through GetPrintData. A `counted` stream is the filter's own (whole pages in one read);
// otherwise a plain libcups stream, which the page read takes row by row.
class PageReader {
 public:
  explicit PageReader(const std::vector<RasterPage>& pages, bool counted = false,
                      off_t cutBytes = 0) {
    const std::string path = dir_.file("in.ras");
    EXPECT_TRUE(WriteRasterFile(path, pages));
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(truncate(path.c_str(), st.st_size - cutBytes), 0);
    fd_ = open(path.c_str(), O_RDONLY);
    raster_ = counted ? OpenCountedRaster(fd_) : cupsRasterOpen(fd_, CUPS_RASTER_READ);
  }
  ~PageReader() {
    Release();
    ForgetCountedRaster(raster_);
    cupsRasterClose(raster_);
    close(fd_);
  }
  // Reads the next header and its pixels; false at the end of the stream. `err` gets what
  // the read wrote to standard error.
  bool Next(int page, std::string* err) {
    Release();
    if (!cupsRasterReadHeader2(raster_, &header_)) return false;
    testing::internal::CaptureStderr();
    GetPrintData(&header_, raster_, page);
    *err = testing::internal::GetCapturedStderr();
    return true;
  }
  const uint8_t* buf() const { return gOemPDev.pBufStart; }
  const cups_page_header2_t& header() const { return header_; }

 private:
  void Release() {
    free(gOemPDev.pBufStart);
    gOemPDev.pBufStart = nullptr;
  }
  TempDir dir_;
  int fd_ = -1;
  cups_raster_t* raster_ = nullptr;
  cups_page_header2_t header_{};
};

TEST(PageRead, RgbArrivesAsBgrAndRowsPastAFailedReadStayZero) {
  RasterPage gradient;
  gradient.width = 5;  // 15 bytes of pixels, stride 16: one padding byte per row
  gradient.height = 4;
  gradient.fill = GradientRgb();
  RasterPage cut;
  cut.width = 4;  // stride 12 = cupsBytesPerLine: read in one call from a counted stream
  cut.height = 6;
  cut.fill = SolidRgb(10, 20, 30);
  cut.rowsToWrite = 3;  // the stream ends inside the page
  // Both read paths; the last two cases also cut row 2 short, which must then stay zero
  // like every row after it.
  const struct {
    bool counted;
    off_t cutBytes;
    uint32_t wholeRows;
  } ways[] = {{false, 0, 3}, {true, 0, 3}, {false, 5, 2}, {true, 5, 2}};
  for (const auto& way : ways) {
    SCOPED_TRACE(testing::Message() << "counted " << way.counted << ", cut " << way.cutBytes);
    PageReader reader({gradient, cut}, way.counted, way.cutBytes);
    std::string err;
    ASSERT_TRUE(reader.Next(1, &err));
    EXPECT_EQ(err, "");
    ASSERT_NE(reader.buf(), nullptr);
    EXPECT_EQ(gOemPDev.dwBufSize, 16u * 4);
    EXPECT_EQ(gBufferedGeometry.bitCount, 24);
    for (uint32_t y = 0; y < 4; ++y) {
      const uint8_t* row = reader.buf() + y * 16;
      for (uint32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(std::vector<uint8_t>(row + 3 * x, row + 3 * x + 3),
                  std::vector<uint8_t>({uint8_t(x + y), uint8_t(y), uint8_t(x)}))
            << "B, G, R of " << x << "," << y;
      }
      EXPECT_EQ(row[15], 0) << "padding stays zero";
    }

    ASSERT_TRUE(reader.Next(2, &err));
    ASSERT_NE(reader.buf(), nullptr);
    for (uint32_t i = 0; i < 12 * 6; ++i) {
      const uint8_t expected = i < 12 * way.wholeRows ? uint8_t(i % 3 == 0   ? 30
                                                                : i % 3 == 1 ? 20
                                                                             : 10)
                                                      : 0;
      EXPECT_EQ(reader.buf()[i], expected) << "row " << i / 12 << " byte " << i % 12;
    }
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

TEST(PageRead, GrayAndOneBitPagesBecomeEightBitGray) {
  // 0xA0 = bits 1010 0000: pixel 0 has its bit set, pixel 1 not.
  const struct {
    cups_cspace_t space;
    uint32_t bits;
    uint8_t raw, first, second;  // every raster byte; page-buffer values of pixels 0 and 1
  } cases[] = {{CUPS_CSPACE_W, 8, 200, 200, 200},
               {CUPS_CSPACE_SW, 8, 17, 17, 17},
               {CUPS_CSPACE_K, 8, 200, 55, 55},
               {CUPS_CSPACE_K, 1, 0xA0, 0, 255},
               {CUPS_CSPACE_W, 1, 0xA0, 255, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "space " << c.space << ", " << c.bits << " bits");
    RasterPage p;
    p.width = 10;  // 1-bit: 2 bytes per row; 8-bit: stride 12
    p.height = 3;
    p.colorSpace = c.space;
    p.bitsPerColor = c.bits;
    p.fill = SolidByte(c.raw);
    PageReader reader({p});
    std::string err;
    ASSERT_TRUE(reader.Next(1, &err));
    EXPECT_EQ(err, "");
    ASSERT_NE(reader.buf(), nullptr);
    EXPECT_EQ(gBufferedGeometry.bitCount, 8);
    EXPECT_EQ(gOemPDev.dwBufSize, 12u * 3);
    for (uint32_t y = 0; y < 3; ++y) {
      const uint8_t* row = reader.buf() + y * 12;
      EXPECT_EQ(std::vector<uint8_t>({row[0], row[1], row[10]}),
                std::vector<uint8_t>({c.first, c.second, 0}));
    }
  }
}

TEST(PageRead, HugePagesAreRefusedBeforeAllocation) {
  cups_page_header2_t h = MakeHeader(RasterPage{});
  PageLayout layout;
  std::string reason;
  h.cupsHeight = 0x7fffffff;  // 16 pixels x 2^31 rows: 128 GiB
  EXPECT_FALSE(CheckPageHeader(h, &layout, &reason));
  EXPECT_NE(reason.find("MiB"), std::string::npos) << reason;
  h = MakeHeader(RasterPage{});
  h.cupsWidth = 0x55555556;  // width x 24 overflows 32 bits
  h.cupsBytesPerLine = uint32_t(0x55555556u * 24u + 7) / 8;
  EXPECT_FALSE(CheckPageHeader(h, &layout, &reason));
  // Largest accepted: exactly kMaxPageBytes (8-bit gray, 32768 x 32768).
  RasterPage gray;
  gray.colorSpace = CUPS_CSPACE_W;
  gray.width = 32768;
  gray.height = 32768;
  EXPECT_TRUE(CheckPageHeader(MakeHeader(gray), &layout, &reason)) << reason;
  EXPECT_EQ(layout.bufSize, kMaxPageBytes);
  gray.height = 32769;
  EXPECT_FALSE(CheckPageHeader(MakeHeader(gray), &layout, &reason));
}

}  // namespace
}  // namespace quorvel::test
