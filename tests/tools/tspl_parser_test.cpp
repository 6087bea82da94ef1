// Tests of the TSPL stream reader behind tspl2png: units of SIZE, the BITMAP data format
// (bit 0 prints, most significant bit leftmost), clipping, and the refusal of malformed
// streams with a message that says where and why.
#include "tools/tspl2png/tspl_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ParseResult {
  bool ok = false;
  std::string error;
  std::vector<quorvel::tspl::Label> labels;
  int clipped = 0;
};

ParseResult Parse(const std::string& stream, int dpi = 203, bool clip = false) {
  quorvel::tspl::Parser parser({dpi, clip});
  ParseResult run;
  run.ok = parser.Parse(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(),
                        [&run](const quorvel::tspl::Label& label, int, int) {
                          run.labels.push_back(label);
                          return true;
                        });
  run.error = parser.error();
  run.clipped = parser.clipped_dots();
  return run;
}

// Row `y` of a label as '#' (printed) and '.'.
std::string Row(const quorvel::tspl::Label& label, int y = 0) {
  std::string row;
  for (int x = 0; x < label.width; ++x) row += label.Printed(x, y) ? '#' : '.';
  return row;
}

std::string Bitmap(int x, int y, int width_bytes, int height, const std::string& data,
                   int mode = 0) {
  char head[64];
  snprintf(head, sizeof head, "BITMAP %d,%d,%d,%d,%d,", x, y, width_bytes, height, mode);
  return head + data + "\r\n";
}

std::string Byte(int value) { return std::string(1, static_cast<char>(value)); }

TEST(TsplParser, SizeUnitsConvertToDots) {
  // mm: (int)(mm * 1000 * dpi / 25400 + 0.5), as the filter computes; no unit means inches.
  const struct {
    const char* command;
    int dpi, width, height;
  } cases[] = {{"SIZE 400 dot,240 dot", 203, 400, 240},
               {"SIZE 50 mm,30 mm", 203, 400, 240},
               {"SIZE 50 mm,30 mm", 300, 591, 354},
               {"SIZE 4,6", 203, 812, 1218},
               {"size 2.5 MM, 1 mm", 203, 20, 8}};
  for (const auto& c : cases) {
    ParseResult run = Parse(std::string(c.command) + "\r\nPRINT 1\r\n", c.dpi);
    ASSERT_TRUE(run.ok) << run.error;
    ASSERT_EQ(run.labels.size(), 1u);
    EXPECT_EQ(run.labels[0].width, c.width) << c.command << " at " << c.dpi;
    EXPECT_EQ(run.labels[0].height, c.height) << c.command << " at " << c.dpi;
  }
}

TEST(TsplParser, BitmapDataFormatAndPlacement) {
  // Row 0: 0x7F prints only the leftmost dot of its byte; row 1: 0xFE only the rightmost.
  ParseResult run =
      Parse("CLS\r\nSIZE 16 dot,3 dot\r\n" + Bitmap(8, 1, 1, 2, "\x7F\xFE") + "PRINT 1,1\r\n");
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(Row(run.labels[0], 0), "................");
  EXPECT_EQ(Row(run.labels[0], 1), "........#.......");
  EXPECT_EQ(Row(run.labels[0], 2), "...............#");
  // The filter's own example: x = 8 and a sub-byte offset of 5 put the first image dot in
  // bit 2 of byte 0, which is label column 13.
  run = Parse("SIZE 24 dot,1 dot\r\n" + Bitmap(8, 0, 1, 1, Byte(0xFB)) + "PRINT 1\r\n");
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(Row(run.labels[0]), ".............#..........");
}

TEST(TsplParser, BlankPaddingBeyondTheEdgeIsAccepted) {
  // 13 dots wide label, 16-dot bitmap row whose last three bits are blank (1): the filter
  // sends such rows whenever the image is not a multiple of 8 dots wide.
  ParseResult run = Parse("SIZE 13 dot,1 dot\r\n" + Bitmap(0, 0, 2, 1, std::string("\x00\x07", 2)) +
                          "PRINT 1\r\n");
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(Row(run.labels[0]), "#############");
  // A printed dot there is refused, or dropped and counted with clipping on.
  const std::string over = "SIZE 13 dot,1 dot\r\n" + Bitmap(0, 0, 2, 1, std::string(2, '\0'));
  run = Parse(over);
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.error.find("3 printed dots"), std::string::npos) << run.error;
  run = Parse(over, 203, true);
  EXPECT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.clipped, 3);
}

TEST(TsplParser, MalformedStreamsAreRefusedWithLineAndReason) {
  const std::string size = "SIZE 16 dot,4 dot\r\n";
  const std::pair<std::string, const char*> cases[] = {
      {size + "BITMAP 0,0,2,4,0,\xFF\xFF", "runs past the end"},
      {size + Bitmap(16, 0, 1, 1, "\xFF"), "outside the 16x4 dot label"},
      {size + Bitmap(0, 3, 1, 2, std::string(2, '\0')), "fall outside"},
      {size + "TEXT 10,10,\"3\",0,1,1,\"hi\"\r\n", "unknown command"},
      {Bitmap(0, 0, 1, 1, "\xFF"), "BITMAP before SIZE"},
      {"CLS\r\nPRINT 1,1\r\n", "PRINT before SIZE"},
      {size + Bitmap(0, 0, 1, 1, "\xFF", 3), "mode"},
      {"SIZE 0 dot,4 dot\r\n", "out of range"},
      {"DENSITY 16\r\n", "DENSITY"},
      {size + std::string("\x01\x02\r\n"), "binary data"},
      {"CLS\r\nSIZE 8 dot,8 dot\r\n\r\nFOO 1\r\n", "line 4 (byte 25): unknown command \"FOO 1\""}};
  for (const auto& [stream, message] : cases) {
    ParseResult run = Parse(stream);
    EXPECT_FALSE(run.ok) << message;
    EXPECT_NE(run.error.find(message), std::string::npos) << run.error;
    EXPECT_EQ(run.error.rfind("line ", 0), 0u) << run.error;
  }
}

}  // namespace
