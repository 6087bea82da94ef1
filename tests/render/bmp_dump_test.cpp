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

TEST(BmpDump, HeadersPaletteAndRows) {
  const struct {
    int32_t width, height, bitCount;
    uint32_t datalen, dataOffset, fileSize, imageSize;
  } cases[] = {
      {10, 2, 1, 8, 62, 70, 8},     // stride (10 + 31) / 32 × 4 = 4; two palette entries
      {3, 1, 8, 3, 1078, 1082, 4},  // three bytes then one zero byte; 256 entries
      {2, 2, 24, 12, 54, 70, 16},   // no palette; stride (2 × 24 + 31) / 32 × 4 = 8
      {8, 2, 1, 20, 62, 70, 8},     // source rows of 10 bytes are cut to file rows of 4
  };
  for (const auto& c : cases) {
    quorvel::test::TempDir dir;
    quorvel::test::RenderJob job;
    job.pdev.bmInfoHeader.biPlanes = 1;  // taken over from the page device's header
    std::vector<uint8_t> data(c.datalen);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    job.renderer.LogData2BmpFile(dir.file("x.bmp").c_str(), data.data(), c.datalen, c.width,
                                 c.height, c.bitCount);
    const std::string f = quorvel::test::ReadFile(dir.file("x.bmp"));
    ASSERT_EQ(f.size(), c.fileSize) << c.bitCount;
    EXPECT_EQ(f.substr(0, 2), "BM");
    // File size, data offset, info size, width, height, planes | bits, image size, 3780 dpm.
    const std::vector<uint32_t> header = {
        c.fileSize,         c.dataOffset,          40,          uint32_t(c.width),
        uint32_t(c.height), 1u | c.bitCount << 16, c.imageSize, 3780};
    EXPECT_EQ(std::vector<uint32_t>({LE(f, 2), LE(f, 10), LE(f, 14), LE(f, 18), LE(f, 22),
                                     LE(f, 26), LE(f, 34), LE(f, 38)}),
              header);
    // Palette: 1 bit black and white, 8 bits a gray ramp (entry 128 is 80 80 80 FF).
    const uint32_t palette = c.bitCount == 1 ? LE(f, 58) : c.bitCount == 8 ? LE(f, 566) : 0;
    EXPECT_EQ(palette, c.bitCount == 1 ? 0x00FFFFFFu : c.bitCount == 8 ? 0xFF808080u : 0u);
    // Each source row of datalen / height bytes starts a stride-padded file row.
    const uint32_t stride = c.imageSize / c.height, srcLen = c.datalen / c.height;
    for (uint32_t k = 0; k < c.imageSize; ++k) {
      const uint32_t row = k / stride, col = k % stride;
      const uint8_t expected = col < std::min(srcLen, stride) ? data[row * srcLen + col] : 0;
      EXPECT_EQ(static_cast<uint8_t>(f[c.dataOffset + k]), expected) << "byte " << k;
    }
  }
}

// The page dump lists the bottom row first, so that viewers show the label upright; the
// printer's stream is the same with and without it, and a missing directory is not created.
TEST(BmpDump, PageDumpOnlyWhenAsked) {
  quorvel::test::TempDir dir;
  std::string streams[3];
  const char* dirs[3] = {dir.path().c_str(), nullptr, "/nonexistent-dump-dir"};
  for (int i = 0; i < 3; ++i) {
    quorvel::test::RenderJob job;
    job.pdev.dwCurPageNum = 3;
    if (dirs[i]) setenv(quorvel::render::kDumpDirVariable, dirs[i], 1);
    std::vector<uint8_t> px(16 * 2, 255);
    px[0] = px[16 + 15] = 0;  // top row dot 0, bottom row dot 15
    quorvel::test::StdoutCapture capture;
    quorvel::render::WritePageOutput(job.renderer, job.cfg, job.dev, job.pdev,
                                     {px.data(), 16, 2, 16}, tagRECT{0, 0, 15, 1}, 3, true);
    unsetenv(quorvel::render::kDumpDirVariable);
    streams[i] = capture.Take();
  }
  const std::string file = quorvel::test::ReadFile(quorvel::render::DumpFileName(dir.path(), 3));
  ASSERT_EQ(file.size(), 62u + 2 * 4);   // 1 bit, 16 × 2: stride 4
  EXPECT_EQ(LE(file, 62), 0x0000FEFFu);  // bottom row FF FE: dot 15 printed, then padding
  EXPECT_EQ(LE(file, 66), 0x0000FF7Fu);  // top row 7F FF: dot 0 printed
  EXPECT_EQ(streams[1], streams[0]);
  EXPECT_EQ(streams[2], streams[0]);
}

}  // namespace
