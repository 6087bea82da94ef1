// The BMP writer (LogData2BmpFile) byte by byte, and the page dump that QEVCP_DUMP_DIR asks for.
#include "render/bmp_dump.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "render/page_output.h"
#include "tests/render/render_test_util.h"
#include "tests/support/filter_runner.h"

namespace {

uint32_t LE32(const std::string& f, size_t at) {
  return static_cast<uint8_t>(f[at]) | static_cast<uint8_t>(f[at + 1]) << 8 |
         static_cast<uint8_t>(f[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(f[at + 3])) << 24;
}
uint16_t LE16(const std::string& f, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(f[at]) | static_cast<uint8_t>(f[at + 1]) << 8);
}

struct BmpCase {
  const char* name;
  int32_t width, height, bitCount;
  uint32_t datalen;
  uint32_t dataOffset, fileSize, imageSize;
};

class BmpLayout : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpLayout, HeadersPaletteAndRows) {
  const BmpCase& c = GetParam();
  qevtest::TempDir dir;
  qevtest::RenderJob job;
  job.pdev.bmInfoHeader.biPlanes = 1;  // taken over from the page device's header
  job.pdev.bmInfoHeader.biClrUsed = 7;
  std::vector<uint8_t> data(c.datalen);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
  const std::string path = dir.file("x.bmp");
  job.renderer.LogData2BmpFile(path.c_str(), data.data(), c.datalen, c.width, c.height, c.bitCount);
  const std::string f = qevtest::ReadFile(path);
  ASSERT_EQ(f.size(), c.fileSize);
  EXPECT_EQ(f.substr(0, 2), "BM");
  EXPECT_EQ(LE32(f, 2), c.fileSize);
  EXPECT_EQ(LE32(f, 6), 0u);
  EXPECT_EQ(LE32(f, 10), c.dataOffset);
  EXPECT_EQ(LE32(f, 14), 40u);
  EXPECT_EQ(LE32(f, 18), static_cast<uint32_t>(c.width));
  EXPECT_EQ(LE32(f, 22), static_cast<uint32_t>(c.height));
  EXPECT_EQ(LE16(f, 26), 1);
  EXPECT_EQ(LE16(f, 28), c.bitCount);
  EXPECT_EQ(LE32(f, 34), c.imageSize);
  EXPECT_EQ(LE32(f, 38), 3780u);
  EXPECT_EQ(LE32(f, 42), 3780u);
  EXPECT_EQ(LE32(f, 46), 7u);
  if (c.bitCount == 1) {
    EXPECT_EQ(LE32(f, 54), 0u);           // entry 0 black
    EXPECT_EQ(LE32(f, 58), 0x00FFFFFFu);  // entry 1 white
  } else if (c.bitCount == 8) {
    EXPECT_EQ(LE32(f, 54 + 4 * 0x80), 0xFF808080u);  // grey ramp, reserved byte 255
  }
  // Each source row of datalen / height bytes starts a stride-padded file row.
  if (c.height > 0) {
    const uint32_t stride = c.imageSize / c.height;
    const uint32_t rowLen = std::min(c.datalen / c.height, stride);
    for (int32_t row = 0; row < c.height; ++row) {
      for (uint32_t k = 0; k < stride; ++k) {
        const uint8_t expected = k < rowLen ? data[row * (c.datalen / c.height) + k] : 0;
        EXPECT_EQ(static_cast<uint8_t>(f[c.dataOffset + row * stride + k]), expected)
            << "row " << row << " byte " << k;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BmpLayout,
    testing::Values(
        // stride (10 + 31) / 32 × 4 = 4, image 8, offset 62, file 70.
        BmpCase{"OneBit", 10, 2, 1, 8, 62, 70, 8},
        // stride 4: three bytes then one zero byte; 1078 + 4.
        BmpCase{"EightBit", 3, 1, 8, 3, 1078, 1082, 4},
        // no palette; stride (2 × 24 + 31) / 32 × 4 = 8.
        BmpCase{"TwentyFourBit", 2, 2, 24, 12, 54, 70, 16},
        // headers only.
        BmpCase{"NoRows", 10, 0, 1, 0, 62, 62, 0},
        // source rows of 10 bytes do not fit file rows of 4: each is cut to its row.
        BmpCase{"LongRowsAreCut", 8, 2, 1, 20, 62, 70, 8}),
    [](const testing::TestParamInfo<BmpCase>& info) { return std::string(info.param.name); });

TEST(BmpDump, UnusablePathsAndSizesWriteNothing) {
  qevtest::RenderJob job;
  const uint8_t data[4] = {};
  job.renderer.LogData2BmpFile("/nonexistent-dir/x.bmp", data, 4, 8, 1, 1);
  qevtest::TempDir dir;
  const std::string path = dir.file("neg.bmp");
  job.renderer.LogData2BmpFile(path.c_str(), data, 4, -8, 1, 1);
  struct stat st;
  EXPECT_NE(stat(path.c_str(), &st), 0);
}

// Writes one page bitmap through the page output with the dump directory set to `dir`.
std::string WriteDumpedPage(const char* dir) {
  qevtest::RenderJob job;
  job.pdev.dwCurPageNum = 3;
  if (dir) {
    setenv(qevrender::kDumpDirVariable, dir, 1);
  } else {
    unsetenv(qevrender::kDumpDirVariable);
  }
  // 16 × 2 image: top row dot 0, bottom row dot 15.
  std::vector<uint8_t> px(16 * 2, 255);
  px[0] = 0;
  px[16 + 15] = 0;
  qevtest::StdoutCapture capture;
  qevrender::WritePageOutput(job.renderer, job.cfg, job.dev, job.pdev,
                             qevrender::PageImage{px.data(), 16, 2, 16}, tagRECT{0, 0, 15, 1}, 3,
                             true);
  unsetenv(qevrender::kDumpDirVariable);
  return capture.Finish();
}

TEST(BmpDump, PageDumpOnlyWhenAsked) {
  qevtest::TempDir dir;
  const std::string withDump = WriteDumpedPage(dir.path().c_str());
  const std::string file = qevtest::ReadFile(qevrender::DumpFileName(dir.path(), 3));
  ASSERT_EQ(file.size(), 62u + 2 * 4);  // 1 bit, 16 × 2: stride 4
  EXPECT_EQ(LE32(file, 18), 16u);
  EXPECT_EQ(LE32(file, 22), 2u);
  EXPECT_EQ(LE16(file, 28), 1);
  // The file lists the bottom row first, so that viewers show the label upright.
  EXPECT_EQ(static_cast<uint8_t>(file[62]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(file[63]), 0xFE);
  EXPECT_EQ(static_cast<uint8_t>(file[66]), 0x7F);
  EXPECT_EQ(static_cast<uint8_t>(file[67]), 0xFF);

  // The printer's stream is the same with and without the dump.
  EXPECT_EQ(WriteDumpedPage(nullptr), withDump);
  qevtest::TempDir empty;
  WriteDumpedPage(nullptr);
  EXPECT_EQ(qevtest::ReadFile(qevrender::DumpFileName(empty.path(), 3)), "");
  // A directory that does not exist is not created and the page still prints.
  EXPECT_EQ(WriteDumpedPage("/nonexistent-dump-dir"), withDump);
}

}  // namespace
