// The plain-keyword scan of the PPD text: line endings, skipped lines, quoted values over
// several lines, the stop line, and the syntax and length limits that end the scan.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/ppd_lookup.h"
#include "tests/support/ppd_fixture.h"

namespace {

class KeywordScanTest : public quorvel::test::PpdFixture {
 protected:
  std::optional<std::string> Scan(const std::string& text, const char* keyword = "OutputDPI") {
    UsePpdText(text);
    const char* value = GetPpdKeywordValue(keyword);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
};

const std::string kHead = "*PPD-Adobe: \"4.3\"\n";
const std::string kDpi = "*OutputDPI: 203\n";

TEST_F(KeywordScanTest, FindsTheValueOrStops) {
  EXPECT_EQ(Scan(kHead + "*OutputDPI:   300 \t\n"), "300");
  // Only the main keyword is compared: an option and translation don't hide it.
  EXPECT_EQ(Scan(kHead + "*OutputDPI High/High Res: \"300\"\n" + kDpi), "300");
  for (const std::string& text :
       {kHead + "*OutputDPI: \"203\"",  // no line end on the last line
        kHead + "*outputdpi: 300\n" + kDpi,
        kHead + "*% comment: with \"an open quote\n\n*End\n*\n  \t \n*OutputDPI\n*End of it: 1\n" +
            kDpi,
        std::string("*PPD-Adobe: \"4.3\"\r*A: 1\r\n\r\n\r*OutputDPI: 203\r"),
        kHead + "*Text: \"a\n*OutputDPI: 600\n\"\n" + kDpi,  // a quoted value hides a keyword
        kHead + "*Output\032DPI: 20\0323\n",                 // 0x1A is dropped
        kHead + "*%APLWORKSET START 2\n" + kDpi,
        kHead + "*" + std::string(40, 'K') + ": 1\n" + kDpi, kHead + "*Key opt/Te\txt: 1\n" + kDpi,
        kHead + "*Long: " + std::string(248, 'v') + "\n" + kDpi}) {  // 255 characters
    EXPECT_EQ(Scan(text), "203") << text.substr(0, 80);
  }
  // The stop line, a line that is no keyword, control characters (DEL too) in a keyword or
  // translation, a keyword over 40 characters and a line over 255 end the scan.
  for (const std::string& text :
       {kHead + "*%APLWORKSET START\n" + kDpi, kHead + "junk\n" + kDpi,
        kHead + "*Bad\001Key: 1\n" + kDpi, kHead + "*Bad\177Key: 1\n" + kDpi,
        kHead + "*" + std::string(41, 'K') + ": 1\n" + kDpi,
        kHead + "*Key opt/Te\002xt: 1\n" + kDpi, kHead + "*Key opt/Te\177xt: 1\n" + kDpi,
        kHead + "*Long: " + std::string(249, 'v') + "\n" + kDpi, std::string()}) {
    EXPECT_EQ(Scan(text), std::nullopt) << text.substr(0, 80);
  }
  EXPECT_EQ(Scan(kHead + "*Text: \"first\nsecond\r\nthird\rfourth\"\n", "Text"),
            "first\nsecond\nthird\nfourth");
}

// A quoted value over physical lines of 200 characters: `length` bytes as one logical line.
std::string LongQuotedLine(size_t length) {
  std::string line = "*Big: \"";
  for (size_t i = 7; line.size() < length - 1; ++i) line += i % 201 == 200 ? '\n' : 'b';
  return line + "\"\n";
}

TEST_F(KeywordScanTest, LogicalLineBufferLimit) {
  // The buffer grows by 1024 bytes up to 262144, one byte of which ends the text: a logical
  // line of 262142 bytes followed by its line end fits, one more byte does not.
  EXPECT_EQ(Scan(kHead + LongQuotedLine(262142) + kDpi), "203");
  auto big = Scan(kHead + LongQuotedLine(262142), "Big");
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->size(), 262142u - 8);  // without "*Big: " and the two quotes
  EXPECT_EQ(Scan(kHead + LongQuotedLine(262143) + kDpi), std::nullopt);
}

TEST_F(KeywordScanTest, NoFileOrKeyword) {
  UsePpdText(kHead + kDpi);
  EXPECT_EQ(GetPpdKeywordValue(nullptr), nullptr);
  const char* first = GetPpdKeywordValue("OutputDPI");
  EXPECT_EQ(Scan(kHead + "*OutputDPI: 300\n"), "300");
  EXPECT_STREQ(first, "203");  // each result is a copy that stays valid
  setenv("PPD", dir_.file("missing.ppd").c_str(), 1);
  EXPECT_EQ(GetPpdKeywordValue("OutputDPI"), nullptr);
  unsetenv("PPD");
  EXPECT_EQ(GetPpdKeywordValue("OutputDPI"), nullptr);
}

}  // namespace
