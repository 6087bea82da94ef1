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
  const struct {
    std::string text;
    std::optional<std::string> expected;  // nullopt: the scan gives null
  } cases[] = {
      {kHead + "*OutputDPI:   300 \t\n", "300"},
      {kHead + "*OutputDPI: \"203\"", "203"},  // no line end on the last line
      // Only the main keyword is compared: an option and translation don't hide it.
      {kHead + "*OutputDPI High/High Res: \"300\"\n" + kDpi, "300"},
      {kHead + "*outputdpi: 300\n" + kDpi, "203"},
      {kHead + "*% comment: with \"an open quote\n\n*End\n*\n  \t \n*OutputDPI\n*End of it: 1\n" +
           kDpi,
       "203"},
      {"*PPD-Adobe: \"4.3\"\r*A: 1\r\n\r\n\r*OutputDPI: 203\r", "203"},
      // A quoted value hides what looks like a keyword line inside it.
      {kHead + "*Text: \"a\n*OutputDPI: 600\n\"\n" + kDpi, "203"},
      {kHead + "*Output\x1A"
               "DPI: 20\x1A"
               "3\n",
       "203"},  // 0x1A is dropped
      {kHead + "*%APLWORKSET START\n" + kDpi, std::nullopt},
      {kHead + "*%APLWORKSET START 2\n" + kDpi, "203"},
      {kHead + "junk\n" + kDpi, std::nullopt},
      {kHead + "*Bad\x01Key: 1\n" + kDpi, std::nullopt},
      {kHead + "*Bad\x7FKey: 1\n" + kDpi, std::nullopt},  // DEL is no name character either
      {kHead + "*" + std::string(40, 'K') + ": 1\n" + kDpi, "203"},
      {kHead + "*" + std::string(41, 'K') + ": 1\n" + kDpi, std::nullopt},
      {kHead + "*Key opt/Te\x02xt: 1\n" + kDpi, std::nullopt},
      {kHead + "*Key opt/Te\x7Fxt: 1\n" + kDpi, std::nullopt},  // DEL is a control character
      {kHead + "*Key opt/Te\txt: 1\n" + kDpi, "203"},
      {kHead + "*Long: " + std::string(248, 'v') + "\n" + kDpi, "203"},  // 255 characters
      {kHead + "*Long: " + std::string(249, 'v') + "\n" + kDpi, std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Scan(c.text), c.expected) << c.text.substr(0, 80);
  EXPECT_EQ(Scan(kHead + "*Text: \"first\nsecond\r\nthird\rfourth\"\n", "Text"),
            "first\nsecond\nthird\nfourth");
}

// A quoted value spanning physical lines of 200 characters, `length` bytes as a logical line.
std::string LongQuotedLine(size_t length) {
  std::string line = "*Big: \"";
  for (size_t column = 7; line.size() < length - 1; column = column == 200 ? 0 : column + 1) {
    line += column == 200 ? '\n' : 'b';
  }
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
  ASSERT_NE(first, nullptr);
  // Each result is a copy that stays valid.
  EXPECT_EQ(Scan(kHead + "*OutputDPI: 300\n"), "300");
  EXPECT_STREQ(first, "203");
  setenv("PPD", dir_.file("missing.ppd").c_str(), 1);
  EXPECT_EQ(GetPpdKeywordValue("OutputDPI"), nullptr);
  unsetenv("PPD");
  EXPECT_EQ(GetPpdKeywordValue("OutputDPI"), nullptr);
}

}  // namespace
