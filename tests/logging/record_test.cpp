// The trace record as it lands in the file: header layout, level names and filtering, the
// source suffix, the 8191-byte cap with CR LF, and concurrent writers.
// libstdc++ 12's <regex> trips a false -Wmaybe-uninitialized inside std::function when built
// with ASan at -O2; silence it for this test file only (it must precede every include).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "log_test_util.h"
#include "logging/log_record.h"

namespace quorvel {
namespace vanta {
namespace {

using testing_support::makeManager;
using testing_support::readFileOrEmpty;
using testing_support::splitRecords;
using testing_support::TempDir;

// date, time, milliseconds, thread id, level, text, file name, line
const std::regex kRecord(
    R"(^(\d{8}) (\d{2}):(\d{2}):(\d{2})\.(\d{3}) \[(\d{4,})\] (LOG_[A-Z]+) (.*) ([^ :/\\]+):(\d+)$)");
const char kBanner[] = "-----------------  vanta thread started!   ----------------------------";

std::string localDate(time_t t) {
  struct tm parts;
  localtime_r(&t, &parts);
  char text[16];
  strftime(text, sizeof(text), "%Y%m%d", &parts);
  return text;
}

std::string findRecord(const std::vector<std::string>& records, const std::string& text) {
  for (const std::string& record : records) {
    if (record.find(text) != std::string::npos) return record;
  }
  return "";
}

TEST(RecordTest, HeaderLayoutBannerAndSuffixOfRealLines) {
  TempDir dir;
  auto manager = makeManager(dir);
  const time_t before = time(nullptr);
  ASSERT_TRUE(manager->start());
  const int line = __LINE__ + 1;
  logPrintfTo(manager.get(), 0, LOG_LEVEL_DEBUG, __FILE__, __LINE__, "hello %d", 42);
  ASSERT_TRUE(manager->stop());
  const time_t after = time(nullptr);

  const std::string text = readFileOrEmpty(dir.file("trace.log"));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const auto records = splitRecords(text);
  ASSERT_EQ(records.size(), 3u);
  std::smatch m;

  // The banner, then one line per enabled logger, both at ALARM from the manager's thread.
  ASSERT_TRUE(std::regex_match(records[0], m, kRecord)) << records[0];
  EXPECT_EQ(m[7], "LOG_ALARM");
  EXPECT_EQ(m[8], kBanner);
  ASSERT_TRUE(std::regex_match(records[1], m, kRecord)) << records[1];
  EXPECT_EQ(m[8], "logger id=0 key=Main name=trace path=" + dir.path() + "/ level=1 display=true");

  ASSERT_TRUE(std::regex_match(records[2], m, kRecord)) << records[2];
  const std::string date = m[1];
  EXPECT_TRUE(date == localDate(before) || date == localDate(after)) << date;
  EXPECT_LT(std::stoi(m[2]), 24);
  EXPECT_LT(std::stoi(m[3]), 60);
  EXPECT_LT(std::stoi(m[4]), 60);
  EXPECT_EQ(std::stoul(m[6]), static_cast<unsigned long>(syscall(SYS_gettid)));
  EXPECT_EQ(m[7], "LOG_DEBUG");
  EXPECT_EQ(m[8], "hello 42");
  EXPECT_EQ(m[9], "record_test.cpp");
  EXPECT_EQ(std::stoi(m[10]), line);
}

TEST(RecordTest, HeaderPinsTimeOfDayAndPadsThreadId) {
  LogData record{};
  record.level = LOG_LEVEL_INFO;
  record.threadId = 7;
  record.millis = 5;
  record.time = static_cast<int64_t>(localMidnight(time(nullptr))) + 3 * 3600 + 4 * 60 + 5;
  writeRecordHeader(&record);
  const std::string header(record.content, record.contentLen);
  EXPECT_EQ(header, localDate(record.time) + " 03:04:05.005 [0007] LOG_INFO ");

  record.contentLen = 0;
  record.threadId = 123456;
  record.level = 9;
  writeRecordHeader(&record);
  EXPECT_NE(std::string(record.content, record.contentLen).find(" [123456] LOG_UNKNOWN "),
            std::string::npos);
}

TEST(RecordTest, LevelNamesAndFiltering) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  for (int level = LOG_LEVEL_TRACE; level <= LOG_LEVEL_FATAL; ++level) {
    logPrintfTo(manager.get(), 0, level, "f.cpp", 1, "default-level %d", level);
  }
  manager->setLoggerLevel(0, LOG_LEVEL_ERROR);
  EXPECT_FALSE(manager->prePushLog(0, LOG_LEVEL_WARN));
  EXPECT_TRUE(manager->prePushLog(0, LOG_LEVEL_ERROR));
  for (int level = LOG_LEVEL_TRACE; level <= LOG_LEVEL_FATAL; ++level) {
    logPrintfTo(manager.get(), 0, level, "f.cpp", 1, "error-level %d", level);
  }
  ASSERT_TRUE(manager->stop());

  const auto records = splitRecords(readFileOrEmpty(dir.file("trace.log")));
  std::vector<std::string> kept;
  for (const auto& record : records) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(record, m, kRecord)) << record;
    if (m[8].str().find("-level") != std::string::npos)
      kept.push_back(m[7].str() + "|" + m[8].str());
  }
  const std::vector<std::string> expected = {
      "LOG_DEBUG|default-level 1", "LOG_INFO|default-level 2",  "LOG_WARN|default-level 3",
      "LOG_ERROR|default-level 4", "LOG_ALARM|default-level 5", "LOG_FATAL|default-level 6",
      "LOG_ERROR|error-level 4",   "LOG_ALARM|error-level 5",   "LOG_FATAL|error-level 6"};
  EXPECT_EQ(kept, expected);
}

TEST(RecordTest, SuffixKeepsOnlyTheFileName) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  const std::map<std::string, std::string> cases = {{"/a/b/c.cpp", "c.cpp"},
                                                    {"C:\\src\\win.cpp", "win.cpp"},
                                                    {"dir/sub\\mixed.cpp", "mixed.cpp"},
                                                    {"plain.cpp", "plain.cpp"}};
  for (const auto& c : cases)
    logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, c.first.c_str(), 77, "suffix");
  logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, nullptr, 5, "no file");
  manager->setLoggerFileLine(0, false);
  logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, "x.cpp", 6, "fileline off");
  ASSERT_TRUE(manager->stop());

  const auto records = splitRecords(readFileOrEmpty(dir.file("trace.log")));
  std::multiset<std::string> suffixes;
  for (const auto& record : records) {
    if (record.find(" suffix ") != std::string::npos) {
      suffixes.insert(record.substr(record.find(" suffix ") + 8));
    }
  }
  std::multiset<std::string> expected;
  for (const auto& c : cases) expected.insert(c.second + ":77");
  EXPECT_EQ(suffixes, expected);
  EXPECT_EQ(findRecord(records, "no file").substr(findRecord(records, "no file").size() - 8),
            " no file");
  const std::string off = findRecord(records, "fileline off");
  EXPECT_EQ(off.substr(off.size() - 13), " fileline off");
}

// Records cut at the cap keep the first 8189 bytes of header and text, then CR LF.
class TruncationTest : public ::testing::TestWithParam<int> {};

TEST_P(TruncationTest, RecordsNeverExceed8191BytesAndEndInCrLf) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  manager->setLoggerFileLine(0, GetParam() % 2 == 0);
  LogData* probe = manager->makeLogData(0, LOG_LEVEL_DEBUG);
  ASSERT_NE(probe, nullptr);
  const int headerLen = probe->contentLen;
  manager->freeLogData(probe);
  const int textLen = 8189 - headerLen + GetParam() / 2;
  const std::string message(textLen, 'x');
  logPrintfTo(manager.get(), 0, LOG_LEVEL_DEBUG, "cap.cpp", 12, "%s", message.c_str());
  ASSERT_TRUE(manager->stop());

  const std::string text = readFileOrEmpty(dir.file("trace.log"));
  const size_t start = text.find(" LOG_DEBUG ");
  ASSERT_NE(start, std::string::npos);
  const size_t begin = text.rfind("\r\n", start) + 2;
  const std::string record = text.substr(begin);
  std::string body = record.substr(headerLen);
  const std::string suffix = GetParam() % 2 == 0 ? " cap.cpp:12" : "";
  std::string full = std::string(record, 0, headerLen) + message + suffix;
  if (full.size() > 8189) full.resize(8189);
  EXPECT_EQ(record, full + "\r\n");
  EXPECT_LE(record.size(), 8191u);
}

// Offsets around the cap: the text alone reaches 8189 - 2, 8189, 8190, 8191 and far beyond
// (odd parameters switch the suffix off).
INSTANTIATE_TEST_SUITE_P(Boundaries, TruncationTest,
                         ::testing::Values(-4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 20000, 20001));

TEST(RecordTest, ConcurrentWritersLoseAndInterleaveNothing) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  constexpr int kThreads = 4;
  constexpr int kPerThread = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&manager, t] {
      const std::string padding(100 + 37 * t, static_cast<char>('a' + t));
      for (int n = 0; n < kPerThread; ++n) {
        logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, __FILE__, __LINE__, "writer %d record %d %s",
                    t, n, padding.c_str());
      }
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(manager->stop());

  const std::string text = readFileOrEmpty(dir.file("trace.log"));
  const auto records = splitRecords(text);
  std::map<int, std::set<int>> seen;
  std::map<int, std::set<std::string>> threadIds;
  const std::regex body(R"(writer (\d) record (\d+) ([a-z]+))");
  for (const auto& record : records) {
    std::smatch m, b;
    ASSERT_TRUE(std::regex_match(record, m, kRecord)) << record.substr(0, 120);
    const std::string message = m[8];
    if (message.rfind("writer ", 0) != 0) continue;
    ASSERT_TRUE(std::regex_match(message, b, body)) << message.substr(0, 120);
    const int t = std::stoi(b[1]);
    EXPECT_EQ(b[3].str(), std::string(100 + 37 * t, static_cast<char>('a' + t)));
    EXPECT_TRUE(seen[t].insert(std::stoi(b[2])).second);
    threadIds[t].insert(m[6]);
  }
  ASSERT_EQ(seen.size(), static_cast<size_t>(kThreads));
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(seen[t].size(), static_cast<size_t>(kPerThread)) << "writer " << t;
    EXPECT_EQ(threadIds[t].size(), 1u);
  }
  EXPECT_EQ(manager->getStatusTotalWriteCount(), static_cast<unsigned long long>(records.size()));
  EXPECT_EQ(manager->getStatusTotalWriteBytes(), static_cast<unsigned long long>(text.size()));
}

}  // namespace
}  // namespace vanta
}  // namespace quorvel
