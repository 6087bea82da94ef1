// The trace as a user meets it: record layout and level names, the 8191-byte cap, concurrent
// writers, the configuration text, and the file rules (append, 0666, monthdir, size limit,
// the shared trace moved aside, start and stop, the process-wide instance).
// libstdc++ 12's <regex> trips a false -Wmaybe-uninitialized inside std::function when built
// with ASan at -O2; silence it for this file only (it must precede every include).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>
#include <limits>
#include <memory>
#include <regex>
#include <thread>

#include "logging/config_parser.h"
#include "logging/loger_manager.h"
#include "logging/vanta_file.h"
#include "tests/support/filter_runner.h"

namespace quorvel::vanta {
namespace {

using quorvel::test::ReadFile;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;

// date, time, milliseconds, thread id, level, text, file name, line
const std::regex kRecord(
    R"(^\d{8} \d{2}:\d{2}:\d{2}\.\d{3} \[(\d{4,})\] (LOG_[A-Z]+) (.*) ([^ :/\\]+):(\d+)$)");
const char kBanner[] = "-----------------  vanta thread started!   ----------------------------";

// Split at CR LF; a trailing fragment is a record of its own.
std::vector<std::string> Records(const std::string& text) {
  std::vector<std::string> records;
  for (size_t begin = 0; begin < text.size();) {
    const size_t end = std::min(text.find("\r\n", begin), text.size());
    records.push_back(text.substr(begin, end - begin));
    begin = end + 2;
  }
  return records;
}

// A private manager whose logger 0 writes "<dir>/<name>.log".
std::unique_ptr<LogerManager> Manager(const TempDir& dir, const char* name = "trace") {
  auto manager = std::make_unique<LogerManager>();
  manager->setLoggerPath(0, dir.path().c_str());
  manager->setLoggerName(0, name);
  return manager;
}

LogerManager::Settings SettingsOf(LogerManager& manager, int id) {
  LogerManager::Settings settings{};
  EXPECT_TRUE(manager.getLoggerSettings(id, &settings));
  return settings;
}

void Log(LogerManager& manager, const char* text) {
  logPrintfTo(&manager, 0, LOG_LEVEL_INFO, "file.cpp", 1, "%s", text);
}

TEST(Record, LayoutLevelNamesFilterAndSuffix) {
  TempDir dir;
  auto manager = Manager(dir);
  ASSERT_TRUE(manager->start());
  for (int threshold : {LOG_LEVEL_DEBUG, LOG_LEVEL_ERROR}) {  // the default, then ERROR
    manager->setLoggerLevel(0, threshold);
    for (int level = LOG_LEVEL_TRACE; level <= LOG_LEVEL_FATAL; ++level)
      logPrintfTo(manager.get(), 0, level, "/a/b/c.cpp", 77, "level %d", level);
  }
  for (const char* file :
       {"C:\\src\\win.cpp", "dir/sub\\mixed.cpp", static_cast<const char*>(nullptr)})
    logPrintfTo(manager.get(), 0, LOG_LEVEL_ERROR, file, 5, "suffix");
  manager->setLoggerFileLine(0, false);
  logPrintfTo(manager.get(), 0, LOG_LEVEL_ERROR, "x.cpp", 6, "fileline off");
  ASSERT_TRUE(manager->stop());

  const auto records = Records(ReadFile(dir.file("trace.log")));
  ASSERT_EQ(records.size(), 15u);
  std::smatch m;
  // The banner and the logger line at ALARM, then ours from this thread.
  ASSERT_TRUE(std::regex_match(records[0], m, kRecord)) << records[0];
  EXPECT_EQ(m[2], "LOG_ALARM");
  EXPECT_EQ(m[3], kBanner);
  EXPECT_NE(records[1].find(" LOG_ALARM logger id=0 key=Main name=trace path=" + dir.path() +
                            "/ level=1 display=true "),
            std::string::npos);
  ASSERT_TRUE(std::regex_match(records[2], m, kRecord)) << records[2];
  EXPECT_EQ(std::stoul(m[1]), static_cast<unsigned long>(syscall(SYS_gettid)));
  std::vector<std::string> tails;  // level name onwards
  for (size_t i = 2; i < records.size(); ++i)
    tails.push_back(records[i].substr(records[i].find(" LOG_") + 1));
  const std::vector<std::string> expected = {
      "LOG_DEBUG level 1 c.cpp:77", "LOG_INFO level 2 c.cpp:77",    "LOG_WARN level 3 c.cpp:77",
      "LOG_ERROR level 4 c.cpp:77", "LOG_ALARM level 5 c.cpp:77",   "LOG_FATAL level 6 c.cpp:77",
      "LOG_ERROR level 4 c.cpp:77", "LOG_ALARM level 5 c.cpp:77",   "LOG_FATAL level 6 c.cpp:77",
      "LOG_ERROR suffix win.cpp:5", "LOG_ERROR suffix mixed.cpp:5", "LOG_ERROR suffix",
      "LOG_ERROR fileline off"};
  EXPECT_EQ(tails, expected);
}

// A record keeps at most 8189 bytes of header, text and suffix, then CR LF.
TEST(Record, LongRecordsAreCutAt8191BytesWithCrLf) {
  TempDir dir;
  auto manager = Manager(dir);
  ASSERT_TRUE(manager->start());
  LogData* probe = manager->makeLogData(0, LOG_LEVEL_DEBUG);
  ASSERT_NE(probe, nullptr);
  const int headerLen = probe->contentLen;
  manager->freeLogData(probe);
  // Header and text alone reach 8189 + extra; the suffix " cap.cpp:12" adds 11 more.
  const std::pair<int, bool> cases[] = {
      {-1, false}, {1, false}, {-11, true}, {-10, true}, {20000, true}};
  for (const auto& [extra, fileline] : cases) {
    manager->setLoggerFileLine(0, fileline);
    logPrintfTo(manager.get(), 0, LOG_LEVEL_DEBUG, "cap.cpp", 12, "%s",
                std::string(8189 - headerLen + extra, 'x').c_str());
  }
  ASSERT_TRUE(manager->stop());
  const std::string text = ReadFile(dir.file("trace.log"));
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const auto records = Records(text);
  ASSERT_EQ(records.size(), 2 + std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [extra, fileline] = cases[i];
    const std::string& got = records[2 + i];
    std::string full = got.substr(0, headerLen) + std::string(8189 - headerLen + extra, 'x') +
                       (fileline ? " cap.cpp:12" : "");
    EXPECT_EQ(got, full.substr(0, 8189)) << "case " << i;
  }
}

TEST(Record, ConcurrentWritersLoseAndInterleaveNothing) {
  TempDir dir;
  auto manager = Manager(dir);
  ASSERT_TRUE(manager->start());
  constexpr int kThreads = 4, kPerThread = 150;
  auto padding = [](int t) { return std::string(100 + 37 * t, static_cast<char>('a' + t)); };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int n = 0; n < kPerThread; ++n)
        logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, "w.cpp", 1, "writer %d record %d %s", t, n,
                    padding(t).c_str());
    });
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(manager->stop());
  // Every record whole on its own line, each writer's records all there and in order.
  const std::string text = ReadFile(dir.file("trace.log"));
  const auto records = Records(text);
  std::vector<int> next(kThreads, 0);
  for (const auto& record : records) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(record, m, kRecord)) << record.substr(0, 120);
    const std::string message = m[3];
    if (message.rfind("writer ", 0) != 0) continue;
    const int t = message[7] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << message;
    EXPECT_EQ(message, "writer " + std::to_string(t) + " record " + std::to_string(next[t]++) +
                           " " + padding(t));
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kPerThread));
  EXPECT_EQ(manager->getStatusTotalWriteBytes(), static_cast<unsigned long long>(text.size()));
}

TEST(Config, SectionsLevelNamesAndFlags) {
  LogerManager manager;
  EXPECT_FALSE(manager.configFromString(nullptr));
  ASSERT_TRUE(manager.configFromString(
      "\xEF\xBB\xBF[MAIN]\r\n  path = /var/tmp \r\nname=\tjob\t\r\n# level=fatal\r\n"
      "colour=blue\r\nlimitsize=7\r\n"));
  const auto main = SettingsOf(manager, 0);  // "MAIN" is the main logger, BOM and blanks gone
  EXPECT_EQ(main.name, "job");
  EXPECT_EQ(main.path, "/var/tmp/");
  EXPECT_EQ(main.limitsize, 7u);
  ASSERT_TRUE(manager.configFromString("[Main]\r\nlimitsize=0\r\n"));  // 0: no limit
  EXPECT_EQ(SettingsOf(manager, 0).limitsize, std::numeric_limits<uint32_t>::max());

  // Level names in any case; an unknown one keeps the previous level, 1 for a new section.
  const std::pair<const char*, int32_t> names[] = {
      {"trace", 0}, {"ALL", 0},   {"debug", 1}, {"Info", 2},    {"warn", 3}, {"warning", 3},
      {"error", 4}, {"alarm", 5}, {"FATAL", 6}, {"verbose", 1}, {"3", 1},    {"", 1}};
  for (const auto& [name, level] : names) {
    ConfigSections one;
    parseConfigText(std::string("[s]\nlevel=") + name + "\n", &one);
    EXPECT_EQ(one.at("s").level, level) << name;
  }
  // Only "false" (in any case) and "0" switch a flag off.
  for (const auto& [value, on] : std::vector<std::pair<std::string, bool>>{
           {"false", false}, {"0", false}, {"No", true}, {"FALSE", false}, {"yes", true}}) {
    ConfigSections one;
    parseConfigText("[s]\ndisplay=" + value + "\nfileline=" + value + "\n", &one);
    EXPECT_EQ(one.at("s").display, on) << value;
    EXPECT_EQ(one.at("s").fileline, on) << value;
  }
}

// Filters of every user append to one trace: an existing file grows, a new one is 0666
// whatever the umask, and monthdir creates every missing directory.
TEST(LogFile, AppendsCreatesForEveryUserAndMakesMonthDirectories) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.file("trace.log"), "earlier job\r\n"));
  auto manager = Manager(dir);
  ASSERT_TRUE(manager->start());
  Log(*manager, "first");
  ASSERT_TRUE(manager->stop());
  const auto records = Records(ReadFile(dir.file("trace.log")));
  ASSERT_EQ(records.size(), 4u);  // the old line, the banner, the logger line, ours
  EXPECT_EQ(records[0], "earlier job");
  EXPECT_NE(records[3].find(" first "), std::string::npos);

  for (mode_t mask : {022, 077}) {
    const std::string name = "fresh" + std::to_string(mask);
    auto fresh = Manager(dir, name.c_str());
    const mode_t old = umask(mask);
    EXPECT_TRUE(fresh->start());
    umask(old);
    ASSERT_TRUE(fresh->stop());
    struct stat st;
    ASSERT_EQ(stat(dir.file(name + ".log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u) << mask;
  }

  auto monthly = Manager(dir);
  monthly->setLoggerPath(0, (dir.path() + "/a/b").c_str());
  monthly->setLoggerMonthdir(0, true);
  ASSERT_TRUE(monthly->start());
  Log(*monthly, "into the month");
  ASSERT_TRUE(monthly->stop());
  const time_t now = time(nullptr);
  char month[16];
  strftime(month, sizeof(month), "%Y_%m", localtime(&now));
  EXPECT_NE(ReadFile(dir.path() + "/a/b/" + month + "/trace.log").find("into the month"),
            std::string::npos);
}

// Beyond the size limit each record counts one more reopening of the same, unrenamed file;
// the shared trace bound moves only a regular file above the limit to ".1", never a link.
TEST(LogFile, SizeLimitAndTheSharedTraceBound) {
  TempDir dir;
  const std::string path = dir.file("trace.log"), older = path + ".1";
  const std::string block(1 << 20, '.');
  ASSERT_TRUE(WriteFile(path, block));
  auto manager = Manager(dir);
  manager->setLoggerLimitsize(0, 1);
  ASSERT_TRUE(manager->start());  // banner and logger line: index 0, then 1
  for (const char* text : {"one", "two", "three"}) Log(*manager, text);
  EXPECT_EQ(SettingsOf(*manager, 0).fileIndex, 4u);
  ASSERT_TRUE(manager->stop());
  EXPECT_EQ(Records(ReadFile(path).substr(block.size())).size(), 5u);

  ASSERT_TRUE(WriteFile(path, "0123456789"));
  ASSERT_TRUE(WriteFile(older, "oldest"));
  EXPECT_FALSE(boundSharedFile(path, 10));  // not larger than the limit
  EXPECT_TRUE(boundSharedFile(path, 9));
  EXPECT_EQ(ReadFile(older), "0123456789");
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  ASSERT_TRUE(WriteFile(dir.file("victim"), "precious"));
  ASSERT_EQ(symlink(dir.file("victim").c_str(), path.c_str()), 0);
  EXPECT_FALSE(boundSharedFile(path, 0));
  EXPECT_EQ(ReadFile(dir.file("victim")), "precious");
}

TEST(ManagerThread, NothingBeforeStartAndStartStopPairUp) {
  TempDir dir;
  auto manager = Manager(dir);
  Log(*manager, "too early");
  EXPECT_NE(access(dir.file("trace.log").c_str(), F_OK), 0);
  EXPECT_FALSE(manager->stop());
  ASSERT_TRUE(manager->start());
  EXPECT_FALSE(manager->start());
  ASSERT_TRUE(manager->stop());
  EXPECT_FALSE(manager->isLoggerEnable(0));  // stopping disables every logger
  manager->enableLogger(0, true);
  ASSERT_TRUE(manager->start());  // a second start writes the start lines again
  ASSERT_TRUE(manager->stop());
  size_t banners = 0;
  for (const auto& r : Records(ReadFile(dir.file("trace.log"))))
    banners += r.find(kBanner) != std::string::npos;
  EXPECT_EQ(banners, 2u);

  // Destroying a running manager stops its thread after the last record is written.
  auto running = Manager(dir, "last");
  ASSERT_TRUE(running->start());
  Log(*running, "last words");
  running.reset();
  EXPECT_NE(ReadFile(dir.file("last.log")).find("last words"), std::string::npos);
}

// The process-wide instance: the log statements write nothing before start.
TEST(ManagerThread, ProcessInstanceDropsStatementsBeforeStart) {
  IVantaManager* manager = IVantaManager::getInstance();
  TempDir dir;
  manager->setLoggerPath(0, dir.path().c_str());
  manager->setLoggerName(0, "instance");
  manager->enableLogger(0, true);  // an earlier stop in this process disabled it
  VLOG_ALARM("before start %d", 1);
  EXPECT_NE(access(dir.file("instance.log").c_str(), F_OK), 0);
  ASSERT_TRUE(manager->start());
  VLOG_DEBUG("after start %d", 2);
  VLOG_TRACE("below the level");
  ASSERT_TRUE(manager->stop());
  const std::string text = ReadFile(dir.file("instance.log"));
  EXPECT_EQ(text.find("before start"), std::string::npos);
  EXPECT_EQ(text.find("below the level"), std::string::npos);
  EXPECT_NE(text.find(" LOG_DEBUG after start 2 logging_test.cpp:"), std::string::npos);
}

// The TSan build of these tests must really be instrumented, or its clean run proves nothing.
TEST(ManagerThread, ThreadSanitizerIsOnInItsBuild) {
#if defined(QEV_SANITIZE_TSAN)
  EXPECT_NE(dlsym(RTLD_DEFAULT, "__tsan_init"), nullptr);
#else
  GTEST_SKIP() << "not a ThreadSanitizer build";
#endif
}

}  // namespace
}  // namespace quorvel::vanta
