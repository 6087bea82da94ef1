// Tests of the preview's output side through the tspl2png command: one PNG file per printed
// label (its size, dots and bit order), and the refusal of malformed streams.
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "tests/support/filter_runner.h"

namespace {

// A PNG read back as 8-bit gray rows of '#' (black) and '.', with its size; empty when unreadable.
std::vector<std::string> ReadPng(const std::string& path, int* width = nullptr) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<std::string> art;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return art;
  image.format = PNG_FORMAT_GRAY;
  std::vector<png_byte> px(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) return art;
  for (png_uint_32 y = 0; y < image.height; ++y) {
    art.emplace_back(image.width, '.');
    for (png_uint_32 x = 0; x < image.width; ++x)
      if (px[y * image.width + x] == 0) art.back()[x] = '#';
  }
  if (width) *width = static_cast<int>(image.width);
  return art;
}

quorvel::test::RunResult RunPreview(const std::vector<std::string>& args,
                                    const std::string& stream) {
  quorvel::test::FilterRun run;
  run.exe = QEV_TSPL2PNG_EXE;
  run.args = args;
  run.unsetPpd = true;
  run.stdinData = stream;
  return quorvel::test::RunFilter(run);
}

TEST(Tspl2png, OneFilePerPrintedLabelAndRefusalOfMalformedStreams) {
  quorvel::test::TempDir dir;
  const std::string stream =
      "CLS\r\nSIZE 16 dot,2 dot\r\nBITMAP 0,0,2,1,0,\x0F\xFF\r\nPRINT 1,2\r\nPRINT 1\r\n";
  quorvel::test::RunResult r = RunPreview({"-o", dir.file("l")}, stream);
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_NE(r.out.find("l-003.png: 16 x 2 dots (2.0 x 0.3 mm), PRINT 1,1, 4 dots printed in "
                       "0,0-3,0"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("3 label(s) printed, 3 PNG file(s) written"), std::string::npos) << r.out;
  EXPECT_EQ(ReadPng(dir.file("l-002.png")),
            (std::vector<std::string>{"####............", "................"}));
  EXPECT_TRUE(ReadPng(dir.file("l-004.png")).empty());

  r = RunPreview({"-o", dir.file("l")}, "CLS\r\nSIZE 16 dot,2 dot\r\nBITMAP 0,0,2,2,0,\xFF\xFF");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find("tspl2png: line 3 (byte 24): BITMAP data runs past the end"),
            std::string::npos)
      << r.err;
  // Dots beyond the label are dropped as a printer drops them, with one warning per label
  // (here 4 dots of each of two labels); --strict refuses them.
  const std::string offLabel =
      "CLS\r\nSIZE 8 dot,1 dot\r\nBITMAP 4,0,1,1,0,\xF0\r\nPRINT 1,1\r\nPRINT 1,1\r\n"
      "CLS\r\nBITMAP 4,0,1,1,0,\xF0\r\nPRINT 1,1\r\n";
  r = RunPreview({"-o", dir.file("off")}, offLabel);
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_NE(r.out.find("off-001.png: 8 x 1 dots"), std::string::npos) << r.out;
  EXPECT_EQ(r.err,
            "tspl2png: warning: label 1: 4 printed dots fell outside the 8x1 dot label\n"
            "tspl2png: warning: label 3: 4 printed dots fell outside the 8x1 dot label\n");
  r = RunPreview({"--strict", "-o", dir.file("off")}, offLabel);
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find("fall outside the 8x1 dot label"), std::string::npos) << r.err;

  r = RunPreview({"-o", dir.file("l"), dir.file("absent.tspl")}, "");
  EXPECT_EQ(r.exitStatus, 2);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
}

}  // namespace
