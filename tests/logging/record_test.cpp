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
#include <regex>
#include <thread>

#include "logging/log_record.h"
#include "tests/support/log_manager.h"

namespace quorvel {
namespace vanta {
namespace {

using namespace testing_support;

// date, time, milliseconds, thread id, level, text, file name, line
const std::regex kRecord(
    R"(^(\d{8}) (\d{2}):(\d{2}):(\d{2})\.(\d{3}) \[(\d{4,})\] (LOG_[A-Z]+) (.*) ([^ :/\\]+):(\d+)$)");

std::string localDate(time_t t) {
  struct tm parts;
  localtime_r(&t, &parts);
  char text[16];
  strftime(text, sizeof(text), "%Y%m%d", &parts);
  return text;
}

TEST(RecordTest, RealLinesLayoutLevelFilterAndSuffix) {
  TempDir dir;
  auto manager = makeManager(dir);
  const time_t before = time(nullptr);
  ASSERT_TRUE(manager->start());
  const int line = __LINE__ + 1;
  logPrintfTo(manager.get(), 0, LOG_LEVEL_DEBUG, __FILE__, __LINE__, "hello %d", 42);
  for (int threshold : {LOG_LEVEL_DEBUG, LOG_LEVEL_ERROR}) {  // the default, then ERROR
    manager->setLoggerLevel(0, threshold);
    for (int level = LOG_LEVEL_TRACE; level <= LOG_LEVEL_FATAL; ++level)
      logPrintfTo(manager.get(), 0, level, "/a/b/c.cpp", 77, "level %d", level);
  }
  const char* const files[] = {"C:\\src\\win.cpp", "dir/sub\\mixed.cpp", "plain.cpp", nullptr};
  for (const char* file : files) logPrintfTo(manager.get(), 0, LOG_LEVEL_ERROR, file, 5, "suffix");
  manager->setLoggerFileLine(0, false);
  logPrintfTo(manager.get(), 0, LOG_LEVEL_ERROR, "x.cpp", 6, "fileline off");
  ASSERT_TRUE(manager->stop());
  const time_t after = time(nullptr);

  const std::string text = ReadFile(dir.file("trace.log"));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const auto records = splitRecords(text);
  ASSERT_EQ(records.size(), 17u);
  std::smatch m;
  // The banner, then one line per enabled logger, both at ALARM from the manager's thread.
  ASSERT_TRUE(std::regex_match(records[0], m, kRecord)) << records[0];
  EXPECT_EQ(m[7], "LOG_ALARM");
  EXPECT_EQ(m[8], "-----------------  vanta thread started!   ----------------------------");
  ASSERT_TRUE(std::regex_match(records[1], m, kRecord)) << records[1];
  EXPECT_EQ(m[8], "logger id=0 key=Main name=trace path=" + dir.path() + "/ level=1 display=true");

  ASSERT_TRUE(std::regex_match(records[2], m, kRecord)) << records[2];
  EXPECT_TRUE(m[1] == localDate(before) || m[1] == localDate(after)) << m[1];
  EXPECT_EQ(std::stoul(m[6]), static_cast<unsigned long>(syscall(SYS_gettid)));
  EXPECT_EQ(m[7], "LOG_DEBUG");
  EXPECT_EQ(m[8], "hello 42");
  EXPECT_EQ(m[9], "record_test.cpp");
  EXPECT_EQ(std::stoi(m[10]), line);

  std::vector<std::string> tails;  // level name onwards
  for (size_t i = 3; i < records.size(); ++i)
    tails.push_back(records[i].substr(records[i].find(" LOG_") + 1));
  const std::vector<std::string> expected = {
      "LOG_DEBUG level 1 c.cpp:77", "LOG_INFO level 2 c.cpp:77",    "LOG_WARN level 3 c.cpp:77",
      "LOG_ERROR level 4 c.cpp:77", "LOG_ALARM level 5 c.cpp:77",   "LOG_FATAL level 6 c.cpp:77",
      "LOG_ERROR level 4 c.cpp:77", "LOG_ALARM level 5 c.cpp:77",   "LOG_FATAL level 6 c.cpp:77",
      "LOG_ERROR suffix win.cpp:5", "LOG_ERROR suffix mixed.cpp:5", "LOG_ERROR suffix plain.cpp:5",
      "LOG_ERROR suffix",           "LOG_ERROR fileline off"};
  EXPECT_EQ(tails, expected);
}

TEST(RecordTest, HeaderPinsTimeOfDayAndPadsThreadId) {
  LogData record{};
  record.level = LOG_LEVEL_INFO;
  record.threadId = 7;
  record.millis = 5;
  record.time = static_cast<int64_t>(localMidnight(time(nullptr))) + 3 * 3600 + 4 * 60 + 5;
  writeRecordHeader(&record);
  EXPECT_EQ(std::string(record.content, record.contentLen),
            localDate(record.time) + " 03:04:05.005 [0007] LOG_INFO ");
  record.contentLen = 0;
  record.threadId = 123456;
  record.level = 9;
  writeRecordHeader(&record);
  EXPECT_NE(std::string(record.content, record.contentLen).find(" [123456] LOG_UNKNOWN "),
            std::string::npos);
}

// Records longer than the cap keep their first 8189 bytes of header, text and suffix, then
// CR LF; shorter ones are whole.
TEST(RecordTest, RecordsAreCutAt8191BytesWithCrLf) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  LogData* probe = manager->makeLogData(0, LOG_LEVEL_DEBUG);
  ASSERT_NE(probe, nullptr);
  const int headerLen = probe->contentLen;
  manager->freeLogData(probe);
  // Header and text alone reach 8189 + extra; the suffix " cap.cpp:12" adds 11 more.
  const std::pair<int, bool> cases[] = {{-1, false}, {0, false},  {1, false},   {2, false},
                                        {-11, true}, {-10, true}, {20000, true}};
  for (const auto& [extra, fileline] : cases) {
    manager->setLoggerFileLine(0, fileline);
    const std::string message(8189 - headerLen + extra, 'x');
    logPrintfTo(manager.get(), 0, LOG_LEVEL_DEBUG, "cap.cpp", 12, "%s", message.c_str());
  }
  ASSERT_TRUE(manager->stop());

  const std::string text = ReadFile(dir.file("trace.log"));
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  std::vector<std::string> records;
  for (const std::string& record : splitRecords(text))
    if (record.find(" LOG_DEBUG ") != std::string::npos) records.push_back(record);
  ASSERT_EQ(records.size(), std::size(cases));
  for (size_t i = 0; i < records.size(); ++i) {
    const auto& [extra, fileline] = cases[i];
    std::string full = records[i].substr(0, headerLen) +
                       std::string(8189 - headerLen + extra, 'x') + (fileline ? " cap.cpp:12" : "");
    if (full.size() > 8189) full.resize(8189);
    EXPECT_EQ(records[i], full) << "case " << i;
  }
}

TEST(RecordTest, ConcurrentWritersLoseAndInterleaveNothing) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  constexpr int kThreads = 4, kPerThread = 150;
  auto padding = [](int t) { return std::string(100 + 37 * t, static_cast<char>('a' + t)); };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&manager, &padding, t] {
      for (int n = 0; n < kPerThread; ++n)
        logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, __FILE__, __LINE__, "writer %d record %d %s",
                    t, n, padding(t).c_str());
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(manager->stop());

  // Every record whole and in its own line, each writer's records all there, in order.
  const std::string text = ReadFile(dir.file("trace.log"));
  const auto records = splitRecords(text);
  std::vector<int> next(kThreads, 0);
  for (const auto& record : records) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(record, m, kRecord)) << record.substr(0, 120);
    const std::string message = m[8];
    if (message.rfind("writer ", 0) != 0) continue;
    const int t = message[7] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << message;
    EXPECT_EQ(message, "writer " + std::to_string(t) + " record " + std::to_string(next[t]++) +
                           " " + padding(t));
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kPerThread) << "writer " << t;
  EXPECT_EQ(manager->getStatusTotalWriteCount(), static_cast<unsigned long long>(records.size()));
  EXPECT_EQ(manager->getStatusTotalWriteBytes(), static_cast<unsigned long long>(text.size()));
}

}  // namespace
}  // namespace vanta
}  // namespace quorvel
