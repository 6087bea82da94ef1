// Tests of the TSPL stream reader behind tspl2png: units of SIZE, the BITMAP data format
// (bit 0 prints, most significant bit leftmost), print counts, settings, and the refusal
// of malformed streams with a message that says where and why.
#include "tools/tspl2png/tspl_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Printed {
  tspl::Label label;
  int sets;
  int copies;
};

struct ParseResult {
  bool ok = false;
  std::string error;
  std::vector<Printed> prints;
  tspl::Settings settings;
  int64_t labels = 0;
  int clipped = 0;
};

ParseResult Parse(const std::string& stream, int dpi = 203, bool clip = false) {
  tspl::Parser parser({dpi, clip});
  ParseResult run;
  run.ok = parser.Parse(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(),
                        [&run](const tspl::Label& label, int sets, int copies) {
                          run.prints.push_back({label, sets, copies});
                          return true;
                        });
  run.error = parser.error();
  run.settings = parser.settings();
  run.labels = parser.labels_printed();
  run.clipped = parser.clipped_dots();
  return run;
}

// The label as '#' (printed) and '.' rows, for readable comparisons.
std::vector<std::string> Art(const tspl::Label& label) {
  std::vector<std::string> rows;
  for (int y = 0; y < label.height; ++y) {
    std::string row;
    for (int x = 0; x < label.width; ++x) row += label.Printed(x, y) ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

std::string Bitmap(int x, int y, int width_bytes, int height, const std::string& data,
                   int mode = 0) {
  return "BITMAP " + std::to_string(x) + "," + std::to_string(y) + "," +
         std::to_string(width_bytes) + "," + std::to_string(height) + "," + std::to_string(mode) +
         "," + data + "\r\n";
}

struct SizeCase {
  const char* command;
  int dpi;
  int width;
  int height;
};

class SizeUnits : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeUnits, ConvertsToDots) {
  const SizeCase& c = GetParam();
  ParseResult run = Parse(std::string("CLS\r\n") + c.command + "\r\nPRINT 1\r\n", c.dpi);
  ASSERT_TRUE(run.ok) << run.error;
  ASSERT_EQ(run.prints.size(), 1u);
  EXPECT_EQ(run.prints[0].label.width, c.width);
  EXPECT_EQ(run.prints[0].label.height, c.height);
}

// mm: (int)(mm * 1000 * dpi / 25400 + 0.5), as the filter computes; no unit means inches.
INSTANTIATE_TEST_SUITE_P(
    Tspl, SizeUnits,
    ::testing::Values(SizeCase{"SIZE 400 dot,240 dot", 203, 400, 240},
                      SizeCase{"SIZE 50 mm,30 mm", 203, 400, 240},  // 399.6, 239.8
                      SizeCase{"SIZE 50 mm,30 mm", 300, 591, 354},  // 590.6, 354.3
                      SizeCase{"SIZE 4,6", 203, 812, 1218},
                      SizeCase{"size 2.5 MM, 1 mm", 203, 20, 8},  // 19.98, 7.99
                      SizeCase{"SIZE 2,1", 300, 600, 300}));

TEST(TsplParser, BitmapDataFormatAndPlacement) {
  // Row 0: 0x7F prints only the leftmost dot of its byte; row 1: 0xFE only the rightmost.
  std::string s = "CLS\r\nSIZE 16 dot,3 dot\r\n" + Bitmap(8, 1, 1, 2, "\x7F\xFE") + "PRINT 1,1\r\n";
  ParseResult run = Parse(s);
  ASSERT_TRUE(run.ok) << run.error;
  ASSERT_EQ(run.prints.size(), 1u);
  EXPECT_EQ(Art(run.prints[0].label),
            (std::vector<std::string>{"................", "........#.......", "...............#"}));

  // The filter's own example: x = 8 and a sub-byte offset of 5 put the first image dot in
  // bit 2 of byte 0, which is label column 13.
  s = "SIZE 24 dot,1 dot\r\n" + Bitmap(8, 0, 1, 1, std::string(1, static_cast<char>(0xFB))) +
      "PRINT 1\r\n";
  run = Parse(s);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(Art(run.prints[0].label)[0], ".............#..........");
}

TEST(TsplParser, ModesReferenceClsAndRepeatedPrint) {
  const std::string ones(1, static_cast<char>(0x0F));  // dots 0-3 printed
  std::string s = "SIZE 8 dot,1 dot\r\nCLS\r\n" + Bitmap(0, 0, 1, 1, ones) +
                  Bitmap(0, 0, 1, 1, std::string(1, static_cast<char>(0x3C)), 1) +  // OR 0,1,6,7
                  "PRINT 1\r\n" +
                  Bitmap(0, 0, 1, 1, std::string(1, static_cast<char>(0x00)), 2) +  // XOR all
                  "PRINT 1\r\nCLS\r\nREFERENCE 2,0\r\n" + Bitmap(0, 0, 1, 1, ones) + "PRINT 1\r\n";
  ParseResult run = Parse(s, 203, /*clip=*/true);
  ASSERT_TRUE(run.ok) << run.error;
  ASSERT_EQ(run.prints.size(), 3u);
  EXPECT_EQ(Art(run.prints[0].label)[0], "####..##");
  EXPECT_EQ(Art(run.prints[1].label)[0], "....##..");
  EXPECT_EQ(Art(run.prints[2].label)[0], "..####..");  // shifted by REFERENCE, CLS cleared
}

TEST(TsplParser, PrintCountsAndMirror) {
  const std::string left(1, static_cast<char>(0x7F));
  ParseResult run = Parse("SIZE 8 dot,1 dot\r\nDIRECTION 1,1\r\n" + Bitmap(0, 0, 1, 1, left) +
                          "PRINT 2,3\r\nPRINT 1,0\r\nPRINT 4\r\n");
  ASSERT_TRUE(run.ok) << run.error;
  ASSERT_EQ(run.prints.size(), 3u);
  EXPECT_EQ(run.prints[0].sets, 2);
  EXPECT_EQ(run.prints[0].copies, 3);
  EXPECT_EQ(run.prints[1].copies, 0);
  EXPECT_EQ(run.prints[2].copies, 1);
  EXPECT_EQ(run.labels, 2 * 3 + 0 + 4);
  EXPECT_EQ(Art(run.prints[0].label)[0], ".......#");  // DIRECTION n,1 mirrors the print
}

TEST(TsplParser, PreambleSettings) {
  ParseResult run = Parse(
      "CLS\r\nGAP 3 mm,0 mm\r\nSET RIBBON OFF\r\nDIRECTION 1,0\r\nREFERENCE 0,0\r\n"
      "DENSITY 8\r\nSPEED 4\r\nOFFSET 0 mm\r\nSET TEAR ON\r\nSET PEEL OFF\r\nSET CUTTER OFF\r\n");
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.settings.Describe(),
            "GAP 3 mm,0 mm; SET RIBBON OFF; DIRECTION 1,0; DENSITY 8; SPEED 4; OFFSET 0 mm; "
            "SET TEAR ON; SET PEEL OFF; SET CUTTER OFF");
  run = Parse("BLINE 0.5,1 mm\nGAP 2.5 mm,0.5 mm\nOFFSET -1.5 mm\nSET CUTTER 3\n");
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_DOUBLE_EQ(run.settings.bline_mm, 12.7);  // no unit: inches
  EXPECT_DOUBLE_EQ(run.settings.gap_mm, 2.5);
  EXPECT_DOUBLE_EQ(run.settings.offset_mm, -1.5);
  EXPECT_EQ(run.settings.cutter, "3");
}

TEST(TsplParser, BlankPaddingBeyondTheEdgeIsAccepted) {
  // 13 dots wide label, 16-dot bitmap row whose last three bits are blank (1): the filter
  // sends such rows whenever the image is not a multiple of 8 dots wide.
  ParseResult run = Parse("SIZE 13 dot,1 dot\r\n" + Bitmap(0, 0, 2, 1, std::string("\x00\x07", 2)) +
                          "PRINT 1\r\n");
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(Art(run.prints[0].label)[0], "#############");
  // A printed dot there is refused, or dropped and counted with clipping on.
  const std::string over = "SIZE 13 dot,1 dot\r\n" + Bitmap(0, 0, 2, 1, std::string(2, '\0'));
  run = Parse(over);
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.error.find("3 printed dots"), std::string::npos) << run.error;
  run = Parse(over, 203, true);
  EXPECT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.clipped, 3);
}

struct BadCase {
  const char* name;
  std::string stream;
  const char* message;  // part of the expected error
};

class MalformedStream : public ::testing::TestWithParam<BadCase> {};

TEST_P(MalformedStream, IsRefusedWithAReason) {
  ParseResult run = Parse(GetParam().stream);
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.error.find(GetParam().message), std::string::npos) << run.error;
  EXPECT_EQ(run.error.rfind("line ", 0), 0u) << run.error;
}

const std::string kSize = "SIZE 16 dot,4 dot\r\n";

INSTANTIATE_TEST_SUITE_P(
    Tspl, MalformedStream,
    ::testing::Values(
        BadCase{"DataPastEnd", kSize + "BITMAP 0,0,2,4,0,\xFF\xFF", "runs past the end"},
        BadCase{"OutsideX", kSize + Bitmap(16, 0, 1, 1, "\xFF"), "outside the 16x4 dot label"},
        BadCase{"OutsideY", kSize + Bitmap(0, 4, 1, 1, "\xFF"), "outside"},
        BadCase{"DotsBelow", kSize + Bitmap(0, 3, 1, 2, std::string(2, '\0')), "fall outside"},
        BadCase{"Unknown", kSize + "TEXT 10,10,\"3\",0,1,1,\"hi\"\r\n", "unknown command"},
        BadCase{"UnknownSet", "SET COUNTER @1 1\r\n", "unknown command \"SET COUNTER"},
        BadCase{"BitmapFirst", Bitmap(0, 0, 1, 1, "\xFF"), "BITMAP before SIZE"},
        BadCase{"PrintFirst", "CLS\r\nPRINT 1,1\r\n", "PRINT before SIZE"},
        BadCase{"BadMode", kSize + Bitmap(0, 0, 1, 1, "\xFF", 3), "mode"},
        BadCase{"ShortHeader", kSize + "BITMAP 0,0,1\r\n", "cut short"},
        BadCase{"BadSize", "SIZE 0 dot,4 dot\r\n", "out of range"},
        BadCase{"BadUnit", "SIZE 4 cm,4 mm\r\n", "bad length"},
        BadCase{"Density", "DENSITY 16\r\n", "DENSITY"},
        BadCase{"PrintArgs", kSize + "PRINT x\r\n", "PRINT needs"},
        BadCase{"Binary", kSize + std::string("\x01\x02\r\n"), "binary data"},
        BadCase{"Glued", "CLSX\r\n", "unknown command"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.name; });

TEST(TsplParser, ErrorNamesTheLine) {
  ParseResult run = Parse("CLS\r\nSIZE 8 dot,8 dot\r\n\r\nFOO 1\r\n");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error.rfind("line 4 (byte 25): unknown command \"FOO 1\"", 0), 0u) << run.error;
}

}  // namespace
