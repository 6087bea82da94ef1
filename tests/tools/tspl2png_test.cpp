// Tests of the preview's output side through the tspl2png command: one PNG file per printed
// label (dots, bit order, resolution), and the refusal of malformed streams.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"

namespace {

struct PngImage {
  int width = 0, height = 0, bit_depth = 0, color_type = -1;
  png_uint_32 res_x = 0, res_y = 0;
  std::vector<std::string> art;  // '#' black, '.' white
};

// Reads a PNG back with libpng, expanding it to 8-bit gray.
bool ReadPng(const std::string& path, PngImage* image) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_read_png(png, info, PNG_TRANSFORM_EXPAND, nullptr);
  image->width = static_cast<int>(png_get_image_width(png, info));
  image->height = static_cast<int>(png_get_image_height(png, info));
  image->bit_depth = png_get_bit_depth(png, info);
  image->color_type = png_get_color_type(png, info);
  int unit = 0;
  png_get_pHYs(png, info, &image->res_x, &image->res_y, &unit);
  png_bytepp rows = png_get_rows(png, info);
  for (int y = 0; y < image->height; ++y) {
    std::string line;
    for (int x = 0; x < image->width; ++x) line += rows[y][x] == 0 ? '#' : '.';
    image->art.push_back(line);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(file);
  return true;
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
  PngImage image;
  ASSERT_TRUE(ReadPng(dir.file("l-002.png"), &image));
  EXPECT_EQ(image.color_type, PNG_COLOR_TYPE_GRAY);
  EXPECT_EQ(image.art, (std::vector<std::string>{"####............", "................"}));
  EXPECT_EQ(image.res_x, 7992u);  // 203 dpi = 7992.1 dots per metre
  EXPECT_EQ(image.res_y, 7992u);
  EXPECT_FALSE(ReadPng(dir.file("l-004.png"), &image));
  r = RunPreview({"--once", "-o", dir.file("once")}, stream);
  EXPECT_NE(r.out.find("3 label(s) printed, 2 PNG file(s) written"), std::string::npos) << r.out;

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
