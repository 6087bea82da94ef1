// The plain-keyword scan of the PPD text: line endings, skipped lines, quoted values over
// several lines, the stop line, and the syntax and length limits that end the scan.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/ppd_lookup.h"
#include "tests/settings/ppd_fixture.h"

namespace {

using qevtest::PpdFixture;

struct ScanCase {
  const char* name;
  std::string text;
  const char* keyword;
  std::optional<std::string> expected;  // nullopt: the scan gives null
};

class KeywordScanTest : public PpdFixture, public ::testing::WithParamInterface<ScanCase> {
 protected:
  std::optional<std::string> Scan(const std::string& text, const char* keyword) {
    UsePpdText(text);
    const char* value = GetPpdKeywordValue(keyword);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }
};

TEST_P(KeywordScanTest, FindsTheValueOrStops) {
  EXPECT_EQ(Scan(GetParam().text, GetParam().keyword), GetParam().expected);
}

const std::string kHead = "*PPD-Adobe: \"4.3\"\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, KeywordScanTest,
    ::testing::Values(
        ScanCase{"QuotedValue", kHead + "*OutputDPI: \"203\"\n", "OutputDPI", "203"},
        ScanCase{"UnquotedValueTrimmed", kHead + "*OutputDPI:   300 \t\n", "OutputDPI", "300"},
        ScanCase{"LastLineWithoutLineEnd", kHead + "*OutputDPI: \"203\"", "OutputDPI", "203"},
        // Only the main keyword is compared: an option and translation don't hide it.
        ScanCase{"OptionPartFirst", kHead + "*OutputDPI High/High Res: \"300\"\n*OutputDPI: 203\n",
                 "OutputDPI", "300"},
        ScanCase{"CaseMatters", kHead + "*outputdpi: 300\n*OutputDPI: 203\n", "OutputDPI", "203"},
        ScanCase{"SkippedLines",
                 kHead + "*% comment: with \"an open quote\n\n*End\n*\n  \t \n*OutputDPI\n"
                         "*End of it: 1\n*OutputDPI: 203\n",
                 "OutputDPI", "203"},
        ScanCase{"CrEndings", "*PPD-Adobe: \"4.3\"\r*A: 1\r\r*OutputDPI: 203\r", "OutputDPI",
                 "203"},
        ScanCase{"CrLfEndings", "*PPD-Adobe: \"4.3\"\r\n*A: 1\r\n\r\n*OutputDPI: 203\r\n",
                 "OutputDPI", "203"},
        ScanCase{"MultiLineQuotedValue",
                 kHead + "*Text: \"first\nsecond\r\nthird\rfourth\"\n*OutputDPI: 203\n", "Text",
                 "first\nsecond\nthird\nfourth"},
        // A quoted value hides what looks like a keyword line inside it.
        ScanCase{"KeywordInsideQuotes",
                 kHead + "*Text: \"a\n*OutputDPI: 600\n\"\n*OutputDPI: 203\n", "OutputDPI", "203"},
        ScanCase{"SubstituteCharacterDropped",
                 kHead + "*Output\x1A"
                         "DPI: 20\x1A"
                         "3\n",
                 "OutputDPI", "203"},
        ScanCase{"StopLine", kHead + "*%APLWORKSET START\n*OutputDPI: 203\n", "OutputDPI",
                 std::nullopt},
        ScanCase{"StopLineMustBeExact", kHead + "*%APLWORKSET START 2\n*OutputDPI: 203\n",
                 "OutputDPI", "203"},
        ScanCase{"TextWithoutAsterisk", kHead + "junk\n*OutputDPI: 203\n", "OutputDPI",
                 std::nullopt},
        ScanCase{"IllegalKeywordCharacter", kHead + "*Bad\x01Key: 1\n*OutputDPI: 203\n",
                 "OutputDPI", std::nullopt},
        ScanCase{"SlashInKeyword", kHead + "*Bad/Key: 1\n*OutputDPI: 203\n", "OutputDPI",
                 std::nullopt},
        ScanCase{"HighByteInKeyword", kHead + "*Bad\xE9: 1\n*OutputDPI: 203\n", "OutputDPI",
                 std::nullopt},
        ScanCase{"KeywordOf40", kHead + "*" + std::string(40, 'K') + ": 1\n*OutputDPI: 203\n",
                 "OutputDPI", "203"},
        ScanCase{"KeywordOf41", kHead + "*" + std::string(41, 'K') + ": 1\n*OutputDPI: 203\n",
                 "OutputDPI", std::nullopt},
        ScanCase{"OptionOf41", kHead + "*Key " + std::string(41, 'o') + ": 1\n*OutputDPI: 203\n",
                 "OutputDPI", std::nullopt},
        ScanCase{"ControlInTranslation", kHead + "*Key opt/Te\x02xt: 1\n*OutputDPI: 203\n",
                 "OutputDPI", std::nullopt},
        ScanCase{"Line255", kHead + "*Long: " + std::string(248, 'v') + "\n*OutputDPI: 203\n",
                 "OutputDPI", "203"},
        ScanCase{"Line256", kHead + "*Long: " + std::string(249, 'v') + "\n*OutputDPI: 203\n",
                 "OutputDPI", std::nullopt},
        ScanCase{"NotFound", kHead + "*OutputDPIX: 1\n", "OutputDPI", std::nullopt},
        ScanCase{"EmptyFile", "", "OutputDPI", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// A quoted value spanning physical lines of 200 characters, `length` bytes as a logical line.
std::string LongQuotedLine(size_t length) {
  std::string line = "*Big: \"";
  size_t column = 7;
  while (line.size() < length - 1) {
    if (column == 200) {
      line += '\n';
      column = 0;
    } else {
      line += 'b';
      ++column;
    }
  }
  return line + "\"";
}

TEST_F(KeywordScanTest, LogicalLineBufferLimit) {
  // The buffer grows by 1024 bytes up to 262144, one byte of which ends the text: a logical
  // line of 262142 bytes followed by its line end fits, one more byte does not.
  auto fits = Scan(kHead + LongQuotedLine(262142) + "\n*OutputDPI: 203\n", "OutputDPI");
  EXPECT_EQ(fits, "203");
  auto big = Scan(kHead + LongQuotedLine(262142) + "\n", "Big");
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->size(), 262142u - 8);  // without "*Big: " and the two quotes
  EXPECT_EQ(Scan(kHead + LongQuotedLine(262143) + "\n*OutputDPI: 203\n", "OutputDPI"),
            std::nullopt);
  EXPECT_EQ(Scan(kHead + LongQuotedLine(400000) + "\n*OutputDPI: 203\n", "OutputDPI"),
            std::nullopt);
}

TEST_F(KeywordScanTest, NoFileOrKeyword) {
  UsePpdText(kHead + "*OutputDPI: 203\n");
  EXPECT_EQ(GetPpdKeywordValue(nullptr), nullptr);
  const char* first = GetPpdKeywordValue("OutputDPI");
  ASSERT_NE(first, nullptr);
  // Each result is a copy that stays valid.
  UsePpdText(kHead + "*OutputDPI: 300\n");
  EXPECT_STREQ(GetPpdKeywordValue("OutputDPI"), "300");
  EXPECT_STREQ(first, "203");
  setenv("PPD", dir_.file("missing.ppd").c_str(), 1);
  EXPECT_EQ(GetPpdKeywordValue("OutputDPI"), nullptr);
  unsetenv("PPD");
  EXPECT_EQ(GetPpdKeywordValue("OutputDPI"), nullptr);
}

}  // namespace
