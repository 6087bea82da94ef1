// The logger configuration text and file: byte-order mark, sections (MAIN meaning Main), level
// names and flags, the byte-sum check, and logger creation up to id 19.
#include <limits>

#include "logging/config_parser.h"
#include "tests/support/log_manager.h"

namespace quorvel {
namespace vanta {
namespace {

using namespace testing_support;

TEST(ConfigTest, BomAndCapitalMainConfigureLoggerZero) {
  LogerManager manager;
  EXPECT_TRUE(manager.configFromString(""));
  EXPECT_FALSE(manager.configFromString(nullptr));
  ASSERT_TRUE(manager.configFromString(
      "\xEF\xBB\xBF[MAIN]\r\n  path = /var/tmp \r\nname=\tjob\t\r\nlevel=Warning\r\n"
      "fileline=FALSE\r\ndisplay=No\r\noutfile=0\r\nmonthdir=yes\r\nlimitsize=7\r\nreserve="
      "60\r\n"));
  const auto main = settingsOf(manager, 0);
  EXPECT_EQ(main.key, "Main");
  EXPECT_EQ(main.name, "job");
  EXPECT_EQ(main.path, "/var/tmp/");
  EXPECT_EQ(main.level, LOG_LEVEL_WARN);
  EXPECT_FALSE(main.fileline);
  EXPECT_TRUE(main.display);  // only "false" and "0" mean false
  EXPECT_FALSE(main.outfile);
  EXPECT_TRUE(main.monthdir);
  EXPECT_EQ(main.limitsize, 7u);
  EXPECT_EQ(main.reserve, 0);  // parsed, never applied
  EXPECT_EQ(manager.findLogger("MAIN"), -1);
  ASSERT_TRUE(manager.configFromString("[Main]\r\nlimitsize=0\r\n"));
  EXPECT_EQ(settingsOf(manager, 0).limitsize, std::numeric_limits<uint32_t>::max());
}

TEST(ConfigTest, LinesCommentsUnknownKeysAndLevelNames) {
  ConfigSections sections;
  std::string section;
  EXPECT_FALSE(parseConfigLine("", &section, &sections));
  EXPECT_TRUE(parseConfigLine("level=fatal", &section, &sections));  // no section yet
  EXPECT_TRUE(sections.empty());
  parseConfigText(
      "# comment\n[ log2 ]\n#level=fatal\ncolour=blue\nlevel\nLEVEL=ERROR\nPath=Mixed/Case\n",
      &sections);
  ASSERT_EQ(sections.size(), 1u);
  const LoggerInfo& info = sections.at("log2");
  EXPECT_EQ(info.name, "log2");
  EXPECT_TRUE(info.enable);
  EXPECT_EQ(info.level, LOG_LEVEL_ERROR);
  EXPECT_EQ(info.path, "Mixed/Case");
  EXPECT_EQ(trimConfigText("\xEF\xBB\xBF [x] \t", kSectionTrimChars), "x");

  // Unknown names keep the previous level: 1 for a new section.
  const std::pair<const char*, int32_t> names[] = {
      {"trace", 0}, {"ALL", 0},   {"debug", 1}, {"Info", 2},    {"warn", 3}, {"warning", 3},
      {"error", 4}, {"alarm", 5}, {"FATAL", 6}, {"verbose", 1}, {"3", 1},    {"", 1}};
  for (const auto& [name, level] : names) {
    ConfigSections one;
    parseConfigText(std::string("[s]\nlevel=") + name + "\n", &one);
    EXPECT_EQ(one.at("s").level, level) << name;
  }
}

TEST(ConfigTest, UnchangedByteSumAppliesNothing) {
  LogerManager manager;
  const char* text = "[Main]\nlevel=error\n";
  ASSERT_TRUE(manager.configFromString(text));
  EXPECT_EQ(settingsOf(manager, 0).level, LOG_LEVEL_ERROR);
  manager.setLoggerLevel(0, LOG_LEVEL_INFO);
  EXPECT_TRUE(manager.configFromString(text));
  EXPECT_EQ(settingsOf(manager, 0).level, LOG_LEVEL_INFO);
  // A different text with the same byte sum is taken for unchanged as well.
  EXPECT_TRUE(manager.configFromString("[Main]\nlevel=rorre\n"));
  EXPECT_EQ(settingsOf(manager, 0).level, LOG_LEVEL_INFO);
  EXPECT_TRUE(manager.configFromString("[Main]\nlevel=fatal\n"));
  EXPECT_EQ(settingsOf(manager, 0).level, LOG_LEVEL_FATAL);
  // Section defaults are applied too: a section without a path resets it to "./log/".
  EXPECT_EQ(settingsOf(manager, 0).path, "./log/");
}

TEST(ConfigTest, LoggersAreCreatedInKeyOrderUpToId19) {
  LogerManager manager;
  std::string text = "[zeta]\nlevel=info\n[alpha]\nenable=false\n";
  for (int n = 0; n < 20; ++n) text += "[s" + std::to_string(100 + n) + "]\n";
  ASSERT_TRUE(manager.configFromString(text.c_str()));
  EXPECT_EQ(manager.findLogger("alpha"), 1);
  EXPECT_FALSE(manager.isLoggerEnable(1));
  for (int n = 0; n < 18; ++n)
    EXPECT_EQ(manager.findLogger(("s" + std::to_string(100 + n)).c_str()), 2 + n);
  EXPECT_EQ(manager.findLogger("s118"), -1);
  EXPECT_EQ(manager.findLogger("zeta"), -1);
  EXPECT_EQ(manager.createLogger("another"), -1);
  EXPECT_EQ(manager.createLogger(" \talpha\r\n"), 1);  // trimmed, then found
  EXPECT_EQ(manager.getStatusActiveLoggers(), 19);
  const auto s100 = settingsOf(manager, 2);
  EXPECT_EQ(s100.name, "s100");
  EXPECT_EQ(s100.path, "./log/");
  EXPECT_EQ(s100.level, LOG_LEVEL_DEBUG);
}

}  // namespace
}  // namespace vanta
}  // namespace quorvel
