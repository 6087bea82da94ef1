// The page read in process: pixels land in the page buffer as the renderer expects them,
// failed reads leave zero rows, and every malformed header is refused without touching
// memory while the stream stays in step for the next page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "filter/page_format.h"
#include "filter/page_geometry.h"
#include "filter/rastoqevtspl.h"
#include "filter/records.h"
#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"

namespace qevtest {
namespace {

// Opens a raster file written from `pages` and reads pages through GetPrintData.
class PageReader {
 public:
  explicit PageReader(const std::vector<RasterPage>& pages) {
    path_ = dir_.file("in.ras");
    EXPECT_TRUE(WriteRasterFile(path_, pages));
    fd_ = open(path_.c_str(), O_RDONLY);
    raster_ = cupsRasterOpen(fd_, CUPS_RASTER_READ);
  }
  ~PageReader() {
    Release();
    cupsRasterClose(raster_);
    close(fd_);
  }
  // Reads the next header and its pixels; false at the end of the stream.
  bool Next(int page, std::string* err = nullptr) {
    Release();
    if (!cupsRasterReadHeader2(raster_, &header_)) return false;
    testing::internal::CaptureStderr();
    GetPrintData(&header_, raster_, page);
    std::string text = testing::internal::GetCapturedStderr();
    if (err) *err = text;
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
  std::string path_;
  int fd_ = -1;
  cups_raster_t* raster_ = nullptr;
  cups_page_header2_t header_{};
};

TEST(PageRead, RgbArrivesAsBgrWithPaddedRows) {
  RasterPage p;
  p.width = 5;  // 15 bytes of pixels, stride 16: one padding byte per row
  p.height = 4;
  p.fill = GradientRgb();
  PageReader reader({p});
  std::string err;
  ASSERT_TRUE(reader.Next(1, &err));
  EXPECT_EQ(err, "");
  ASSERT_NE(reader.buf(), nullptr);
  EXPECT_EQ(gOemPDev.dwBufSize, 16u * 4);
  EXPECT_EQ(gBufferedGeometry.width, 5);
  EXPECT_EQ(gBufferedGeometry.height, 4);
  EXPECT_EQ(gBufferedGeometry.bitCount, 24);
  for (uint32_t y = 0; y < 4; ++y) {
    const uint8_t* row = reader.buf() + y * 16;
    for (uint32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(row[3 * x], uint8_t(x + y)) << "blue of " << x << "," << y;
      EXPECT_EQ(row[3 * x + 1], uint8_t(y)) << "green";
      EXPECT_EQ(row[3 * x + 2], uint8_t(x)) << "red";
    }
    EXPECT_EQ(row[15], 0) << "padding stays zero";
  }
  EXPECT_FALSE(reader.Next(2));
}

TEST(PageRead, RowsPastAFailedReadStayZero) {
  RasterPage p;
  p.width = 4;
  p.height = 6;
  p.fill = SolidRgb(10, 20, 30);
  p.rowsToWrite = 3;  // the stream ends inside the page
  PageReader reader({p});
  ASSERT_TRUE(reader.Next(1));
  ASSERT_NE(reader.buf(), nullptr);
  const uint32_t stride = 12;
  for (uint32_t y = 0; y < 6; ++y) {
    for (uint32_t i = 0; i < stride; ++i) {
      const uint8_t expected = y < 3 ? uint8_t(i % 3 == 0 ? 30 : i % 3 == 1 ? 20 : 10) : 0;
      EXPECT_EQ(reader.buf()[y * stride + i], expected) << "row " << y << " byte " << i;
    }
  }
}

struct GrayCase {
  const char* name;
  cups_cspace_t space;
  uint32_t bits;
  uint8_t rawByte;       // every raster byte
  uint8_t expectFirst;   // page-buffer value of pixel 0
  uint8_t expectSecond;  // page-buffer value of pixel 1
};

class GrayPages : public testing::TestWithParam<GrayCase> {};

TEST_P(GrayPages, ReadAsEightBitGray) {
  const GrayCase& c = GetParam();
  RasterPage p;
  p.width = 10;  // 1-bit: 2 bytes per row; 8-bit: stride 12
  p.height = 3;
  p.colorSpace = c.space;
  p.bitsPerColor = c.bits;
  p.fill = SolidByte(c.rawByte);
  PageReader reader({p});
  std::string err;
  ASSERT_TRUE(reader.Next(1, &err));
  EXPECT_EQ(err, "");
  ASSERT_NE(reader.buf(), nullptr);
  EXPECT_EQ(gBufferedGeometry.bitCount, 8);
  EXPECT_EQ(gOemPDev.dwBufSize, 12u * 3);
  for (uint32_t y = 0; y < 3; ++y) {
    const uint8_t* row = reader.buf() + y * 12;
    EXPECT_EQ(row[0], c.expectFirst);
    EXPECT_EQ(row[1], c.expectSecond);
    EXPECT_EQ(row[10], 0);  // padding
  }
}

// 0xA0 = bits 1010 0000: pixel 0 has its bit set, pixel 1 not.
INSTANTIATE_TEST_SUITE_P(Formats, GrayPages,
                         testing::Values(GrayCase{"W8", CUPS_CSPACE_W, 8, 200, 200, 200},
                                         GrayCase{"SW8", CUPS_CSPACE_SW, 8, 17, 17, 17},
                                         GrayCase{"K8", CUPS_CSPACE_K, 8, 200, 55, 55},
                                         GrayCase{"K1", CUPS_CSPACE_K, 1, 0xA0, 0, 255},
                                         GrayCase{"W1", CUPS_CSPACE_W, 1, 0xA0, 255, 0}),
                         [](const testing::TestParamInfo<GrayCase>& info) {
                           return std::string(info.param.name);
                         });

struct BadHeader {
  const char* name;
  std::function<void(cups_page_header2_t&)> tweak;
  const char* reason;  // expected in the ERROR line
  int64_t rows;        // rows of pixel data written (-1: cupsHeight)
};

class MalformedHeaders : public testing::TestWithParam<BadHeader> {};

TEST_P(MalformedHeaders, RefusedAndStreamStaysInStep) {
  const BadHeader& c = GetParam();
  RasterPage bad;
  bad.tweak = c.tweak;
  bad.rowsToWrite = c.rows;
  bad.fill = SolidByte(0x11);
  RasterPage good;
  good.width = 3;
  good.height = 2;
  good.fill = SolidRgb(1, 2, 3);
  PageReader reader({bad, good});
  std::string err;
  ASSERT_TRUE(reader.Next(7, &err)) << "libcups itself refused the header";
  EXPECT_EQ(reader.buf(), nullptr);
  EXPECT_EQ(err.rfind("ERROR: Page 7 skipped: ", 0), 0u) << err;
  EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

  ASSERT_TRUE(reader.Next(8, &err));
  EXPECT_EQ(err, "");
  ASSERT_NE(reader.buf(), nullptr);
  EXPECT_EQ(reader.header().cupsWidth, 3u);
  EXPECT_EQ(reader.buf()[0], 3);  // B, G, R of the good page
  EXPECT_EQ(reader.buf()[1], 2);
  EXPECT_EQ(reader.buf()[2], 1);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, MalformedHeaders,
    testing::Values(
        BadHeader{"ZeroWidth", [](cups_page_header2_t& h) { h.cupsWidth = 0; }, "empty page", -1},
        BadHeader{"LongRows", [](cups_page_header2_t& h) { h.cupsBytesPerLine += 3; },
                  "cupsBytesPerLine", -1},
        BadHeader{"ShortRows", [](cups_page_header2_t& h) { h.cupsBytesPerLine -= 3; },
                  "cupsBytesPerLine", -1},
        BadHeader{"Depth32", [](cups_page_header2_t& h) { h.cupsBitsPerPixel = 32; },
                  "unsupported raster format", -1},
        BadHeader{"Depth16", [](cups_page_header2_t& h) { h.cupsBitsPerPixel = 16; },
                  "unsupported raster format", -1},
        BadHeader{"Cmy", [](cups_page_header2_t& h) { h.cupsColorSpace = CUPS_CSPACE_CMY; },
                  "unsupported raster format", -1},
        BadHeader{"Banded", [](cups_page_header2_t& h) { h.cupsColorOrder = CUPS_ORDER_BANDED; },
                  "unsupported raster format", -1},
        BadHeader{"Colour16",
                  [](cups_page_header2_t& h) {
                    h.cupsBitsPerColor = 16;
                    h.cupsBitsPerPixel = 48;
                    h.cupsBytesPerLine *= 2;
                  },
                  "unsupported raster format", -1},
        BadHeader{"NoResolution", [](cups_page_header2_t& h) { h.HWResolution[0] = 0; },
                  "invalid resolution", -1},
        BadHeader{"HugeResolution", [](cups_page_header2_t& h) { h.HWResolution[1] = 70000; },
                  "invalid resolution", -1}),
    [](const testing::TestParamInfo<BadHeader>& info) { return std::string(info.param.name); });

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

TEST(PageGeometry, RecordsFollowTheBufferedPage) {
  gOemPDev = _OEMPDEV{};
  gDevMode = _DEVMODE{};
  PageGeometry a{800, 600, 24, 203, 203};
  SyncPageGeometry(a, 1);
  EXPECT_EQ(gOemPDev.bmInfoHeader.biWidth, 800);
  EXPECT_EQ(gOemPDev.bmInfoHeader.biHeight, 600);
  EXPECT_EQ(gOemPDev.bmInfoHeader.biBitCount, 24);
  EXPECT_EQ(gOemPDev.srcGdiInfo.ulVertRes, 600u);
  EXPECT_EQ(gOemPDev.srcGdiInfo.szlPhysSize.cx, 800);
  EXPECT_EQ(gOemPDev.srcGdiInfo.szlPhysSize.cy, 600);
  EXPECT_EQ(gDevMode.dmPrintQuality, 203);
  EXPECT_EQ(gDevMode.dmYResolution, 203);
  gOemPDev.bmInfoHeader.biSizeImage = 1234;  // written by the renderer: left alone
  PageGeometry b{400, 240, 8, 300, 150};
  SyncPageGeometry(b, 2);
  EXPECT_EQ(gOemPDev.bmInfoHeader.biWidth, 400);
  EXPECT_EQ(gOemPDev.bmInfoHeader.biHeight, 240);
  EXPECT_EQ(gOemPDev.bmInfoHeader.biBitCount, 8);
  EXPECT_EQ(gOemPDev.srcGdiInfo.ulVertRes, 240u);
  EXPECT_EQ(gDevMode.dmPrintQuality, 300);
  EXPECT_EQ(gDevMode.dmYResolution, 150);
  EXPECT_EQ(gOemPDev.bmInfoHeader.biSizeImage, 1234u);
  gOemPDev = _OEMPDEV{};
  gDevMode = _DEVMODE{};
}

}  // namespace
}  // namespace qevtest
