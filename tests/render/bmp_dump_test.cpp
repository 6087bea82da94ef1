// The BMP writer (LogData2BmpFile) byte by byte, and the page dump that QEVCP_DUMP_DIR asks for.
#include "render/bmp_dump.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "render/page_output.h"
#include "tests/support/filter_runner.h"
#include "tests/support/render_job.h"

namespace {

uint32_t LE(const std::string& f, size_t at, int bytes = 4) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(f.at(at + i));
  return v;
}

struct BmpCase {
  int32_t width, height, bitCount;
  uint32_t datalen, dataOffset, fileSize, imageSize;
};

TEST(BmpDump, HeadersPaletteAndRows) {
  const BmpCase cases[] = {
      {10, 2, 1, 8, 62, 70, 8},     // stride (10 + 31) / 32 × 4 = 4; two palette entries
      {3, 1, 8, 3, 1078, 1082, 4},  // three bytes then one zero byte; 256 entries
      {2, 2, 24, 12, 54, 70, 16},   // no palette; stride (2 × 24 + 31) / 32 × 4 = 8
      {10, 0, 1, 0, 62, 62, 0},     // headers only
      {8, 2, 1, 20, 62, 70, 8},     // source rows of 10 bytes are cut to file rows of 4
  };
  for (const BmpCase& c : cases) {
    quorvel::test::TempDir dir;
    quorvel::test::RenderJob job;
    job.pdev.bmInfoHeader.biPlanes = 1;  // taken over from the page device's header
    job.pdev.bmInfoHeader.biClrUsed = 7;
    std::vector<uint8_t> data(c.datalen);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    const std::string path = dir.file("x.bmp");
    job.renderer.LogData2BmpFile(path.c_str(), data.data(), c.datalen, c.width, c.height,
                                 c.bitCount);
    const std::string f = quorvel::test::ReadFile(path);
    ASSERT_EQ(f.size(), c.fileSize) << c.bitCount;
    EXPECT_EQ(f.substr(0, 2), "BM");
    const std::pair<size_t, uint32_t> fields[] = {
        {2, c.fileSize},   {6, 0},     {10, c.dataOffset}, {14, 40}, {18, c.width}, {22, c.height},
        {34, c.imageSize}, {38, 3780}, {42, 3780},         {46, 7}};
    for (const auto& [at, value] : fields) EXPECT_EQ(LE(f, at), value) << "offset " << at;
    EXPECT_EQ(LE(f, 26, 2), 1u);
    EXPECT_EQ(LE(f, 28, 2), static_cast<uint32_t>(c.bitCount));
    if (c.bitCount == 1) {
      EXPECT_EQ(LE(f, 54), 0u);           // entry 0 black
      EXPECT_EQ(LE(f, 58), 0x00FFFFFFu);  // entry 1 white
    }
    if (c.bitCount == 8) {
      EXPECT_EQ(LE(f, 54 + 4 * 0x80), 0xFF808080u);  // grey ramp, reserved byte 255
    }
    // Each source row of datalen / height bytes starts a stride-padded file row.
    for (int32_t row = 0; row < c.height; ++row) {
      const uint32_t stride = c.imageSize / c.height, srcLen = c.datalen / c.height;
      for (uint32_t k = 0; k < stride; ++k) {
        const uint8_t expected = k < std::min(srcLen, stride) ? data[row * srcLen + k] : 0;
        EXPECT_EQ(static_cast<uint8_t>(f[c.dataOffset + row * stride + k]), expected)
            << "row " << row << " byte " << k;
      }
    }
  }
  // Unusable paths and sizes write nothing.
  quorvel::test::RenderJob job;
  quorvel::test::TempDir dir;
  const uint8_t data[4] = {};
  job.renderer.LogData2BmpFile("/nonexistent-dir/x.bmp", data, 4, 8, 1, 1);
  job.renderer.LogData2BmpFile(dir.file("neg.bmp").c_str(), data, 4, -8, 1, 1);
  EXPECT_EQ(quorvel::test::ReadFile(dir.file("neg.bmp")), "");
}

// Writes one 16 × 2 page bitmap (top row dot 0, bottom row dot 15) through the page output as
// page 3, with the dump directory set to `dir` (null: unset).
std::string WriteDumpedPage(const char* dir) {
  quorvel::test::RenderJob job;
  job.pdev.dwCurPageNum = 3;
  if (dir) setenv(quorvel::render::kDumpDirVariable, dir, 1);
  std::vector<uint8_t> px(16 * 2, 255);
  px[0] = px[16 + 15] = 0;
  quorvel::test::StdoutCapture capture;
  quorvel::render::WritePageOutput(job.renderer, job.cfg, job.dev, job.pdev, {px.data(), 16, 2, 16},
                                   tagRECT{0, 0, 15, 1}, 3, true);
  unsetenv(quorvel::render::kDumpDirVariable);
  return capture.Take();
}

TEST(BmpDump, PageDumpOnlyWhenAsked) {
  quorvel::test::TempDir dir;
  const std::string withDump = WriteDumpedPage(dir.path().c_str());
  const std::string file = quorvel::test::ReadFile(quorvel::render::DumpFileName(dir.path(), 3));
  ASSERT_EQ(file.size(), 62u + 2 * 4);  // 1 bit, 16 × 2: stride 4
  EXPECT_EQ(LE(file, 18), 16u);
  EXPECT_EQ(LE(file, 22), 2u);
  // The file lists the bottom row first, so that viewers show the label upright.
  EXPECT_EQ(LE(file, 62), 0x0000FEFFu);  // bottom row FF FE: dot 15 printed, then padding
  EXPECT_EQ(LE(file, 66), 0x0000FF7Fu);  // top row 7F FF: dot 0 printed
  // The printer's stream is the same with and without the dump; a directory that does not
  // exist is not created and the page still prints.
  EXPECT_EQ(WriteDumpedPage(nullptr), withDump);
  EXPECT_EQ(WriteDumpedPage("/nonexistent-dump-dir"), withDump);
}

}  // namespace
