// Tests of the tspl2png preview command: the runs of tspl2png_cases.txt (SIZE units, BITMAP
// bit order and placement, dots past the label, malformed streams refused with line and
// reason), and the PNG files written, one per printed label, read back dot by dot.
#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"

namespace {

// "\r", "\n" and "\xHH" as the bytes they stand for.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
    } else if (text[++i] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i] == 'r' ? '\r' : text[i] == 'n' ? '\n' : text[i];
    }
  }
  return out;
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

TEST(Tspl2png, RunsOfTheCasesFile) {
  std::ifstream in(std::string(QEV_SOURCE_DIR) + "/tests/tools/tspl2png_cases.txt");
  int number = 0, cases = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    const size_t a = line.find(" | "), b = line.rfind(" | ");
    if (line.empty() || line[0] == '#' || a == b) continue;
    quorvel::test::TempDir dir;
    std::vector<std::string> args = {"-o", dir.file("l")};
    std::istringstream head(line.substr(0, a));
    int status = -1;
    head >> status;
    for (std::string arg; head >> arg;) args.push_back(arg);
    const auto r = RunPreview(args, Unescape(line.substr(a + 3, b - a - 3)));
    EXPECT_EQ(r.exitStatus, status) << "tspl2png_cases.txt:" << number << "\n" << r.err;
    EXPECT_NE((r.out + r.err).find(Unescape(line.substr(b + 3))), std::string::npos)
        << "tspl2png_cases.txt:" << number << "\n"
        << r.out << r.err;
    ++cases;
  }
  EXPECT_EQ(cases, 20) << "tspl2png_cases.txt missing or cut short";
}

// A PNG read back as rows of '#' (black) and '.'; empty when unreadable.
std::vector<std::string> ReadPng(const std::string& path) {
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
  return art;
}

TEST(Tspl2png, OnePngPerPrintedLabel) {
  quorvel::test::TempDir dir;
  const auto r = RunPreview({"-o", dir.file("l")},
                            "CLS\r\nSIZE 16 dot,2 dot\r\nBITMAP 0,0,2,1,0,"
                            "\x0F\xFF\r\nPRINT 1,2\r\nPRINT 1\r\n");
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_NE(r.out.find("3 label(s) printed, 3 PNG file(s) written"), std::string::npos) << r.out;
  for (const char* name : {"l-001.png", "l-002.png", "l-003.png"})
    EXPECT_EQ(ReadPng(dir.file(name)),
              (std::vector<std::string>{"####............", "................"}));
  EXPECT_TRUE(ReadPng(dir.file("l-004.png")).empty());
}

}  // namespace
