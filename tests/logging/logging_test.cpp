// The trace as a user meets it: record layout and level names, the 8191-byte cap, concurrent
// writers, the configuration text, the file rules (append, 0666, size limit, the shared trace
// moved aside) and the process-wide instance writing nothing before start.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <thread>

#include "logging/config_parser.h"
#include "logging/loger_manager.h"
#include "logging/vanta_file.h"
#include "tests/support/filter_runner.h"
#include "tests/support/trace_log.h"

namespace quorvel::vanta {
namespace {

using quorvel::test::ReadFile;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;

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

void Log(LogerManager& manager, const char* text) {
  logPrintfTo(&manager, 0, LOG_LEVEL_INFO, "file.cpp", 1, "%s", text);
}

TEST(Record, LayoutLevelNamesFilterAndSuffix) {
  TempDir dir;
  auto manager = Manager(dir);
  ASSERT_TRUE(manager->start());
  for (int level = LOG_LEVEL_TRACE; level <= LOG_LEVEL_FATAL; ++level)  // DEBUG and up by default
    logPrintfTo(manager.get(), 0, level, "/a/b/c.cpp", 77, "level %d", level);
  logPrintfTo(manager.get(), 0, LOG_LEVEL_ERROR, nullptr, 5, "no file");
  ASSERT_TRUE(manager->stop());

  const auto records = Records(ReadFile(dir.file("trace.log")));
  ASSERT_EQ(records.size(), 9u);
  // The banner and the logger line at ALARM, then ours: "YYYYMMDD HH:MM:SS.mmm [tid] ".
  EXPECT_NE(records[0].find(" LOG_ALARM -----------------  vanta thread started!   "),
            std::string::npos);
  EXPECT_NE(records[1].find(" LOG_ALARM logger id=0 key=Main name=trace path=" + dir.path() +
                            "/ level=1 display=true "),
            std::string::npos);
  std::string stamp = records[2].substr(0, 22);
  std::replace_if(stamp.begin(), stamp.end(), ::isdigit, '9');
  EXPECT_EQ(stamp, "99999999 99:99:99.999 ");
  std::vector<std::string> tails;  // level name onwards
  for (size_t i = 2; i < records.size(); ++i)
    tails.push_back(records[i].substr(records[i].find(" LOG_") + 1));
  const std::vector<std::string> expected = {
      "LOG_DEBUG level 1 c.cpp:77", "LOG_INFO level 2 c.cpp:77",  "LOG_WARN level 3 c.cpp:77",
      "LOG_ERROR level 4 c.cpp:77", "LOG_ALARM level 5 c.cpp:77", "LOG_FATAL level 6 c.cpp:77",
      "LOG_ERROR no file"};
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

// Writers on several threads: every record whole, each thread's all there and in order.
TEST(Record, ConcurrentWritersLoseAndInterleaveNothing) {
  TempDir dir;
  auto manager = Manager(dir);
  ASSERT_TRUE(manager->start());
  std::vector<std::vector<std::string>> sent(3), got(3);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < sent.size(); ++t)
    threads.emplace_back([&, t] {
      for (int n = 0; n < 150; ++n) {
        sent[t].push_back(std::string(100 + 37 * t, char('a' + t)) + std::to_string(n));
        Log(*manager, sent[t].back().c_str());
      }
    });
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(manager->stop());
  const auto text = ReadFile(dir.file("trace.log"));
  for (const auto& message : quorvel::test::TraceMessages(text, -1, "LOG_INFO "))
    got.at(static_cast<size_t>(message.at(0) - 'a')).push_back(message);
  EXPECT_EQ(got, sent);
}

TEST(Config, SectionsLevelNamesAndFlags) {
  LogerManager manager;
  ASSERT_TRUE(manager.configFromString(
      "\xEF\xBB\xBF[MAIN]\r\n  path = /var/tmp \r\nname=\tjob\t\r\n# level=fatal\r\n"
      "colour=blue\r\nlimitsize=7\r\n"));
  LogerManager::Settings main{};  // "MAIN" is the main logger, BOM and blanks gone
  ASSERT_TRUE(manager.getLoggerSettings(0, &main));
  EXPECT_EQ(main.name, "job");
  EXPECT_EQ(main.path, "/var/tmp/");
  EXPECT_EQ(main.limitsize, 7u);
  ASSERT_TRUE(manager.configFromString("[Main]\r\nlimitsize=0\r\n"));  // 0: no limit
  ASSERT_TRUE(manager.getLoggerSettings(0, &main));
  EXPECT_EQ(main.limitsize, std::numeric_limits<uint32_t>::max());

  // Level names in any case; an unknown one keeps the previous level, 1 for a new section.
  const std::pair<const char*, int32_t> names[] = {
      {"ALL", 0}, {"Info", 2}, {"warning", 3}, {"FATAL", 6}, {"verbose", 1}};
  for (const auto& [name, level] : names) {
    ConfigSections one;
    parseConfigText(std::string("[s]\nlevel=") + name + "\n", &one);
    EXPECT_EQ(one.at("s").level, level) << name;
  }
  // Only "false" (in any case) and "0" switch a flag off.
  ConfigSections flags;
  parseConfigText("[s]\ndisplay=0\nfileline=FALSE\noutfile=No\n", &flags);
  EXPECT_FALSE(flags.at("s").display);
  EXPECT_FALSE(flags.at("s").fileline);
  EXPECT_TRUE(flags.at("s").outfile);
}

// Filters of every user append to one trace: an existing file grows, a new one is 0666
// whatever the umask.
TEST(LogFile, AppendsAndCreatesForEveryUser) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.file("trace.log"), "earlier job\r\n"));
  auto manager = Manager(dir);
  ASSERT_TRUE(manager->start());
  Log(*manager, "first");
  ASSERT_TRUE(manager->stop());
  const auto records = Records(ReadFile(dir.file("trace.log")));
  ASSERT_EQ(records.size(), 4u);  // the old line, the banner, the logger line, ours
  EXPECT_EQ(records[0], "earlier job");

  auto fresh = Manager(dir, "fresh");
  const mode_t old = umask(077);
  EXPECT_TRUE(fresh->start());
  umask(old);
  ASSERT_TRUE(fresh->stop());
  struct stat st;
  ASSERT_EQ(stat(dir.file("fresh.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
}

// Beyond the size limit records still reach the same, unrenamed file; the shared trace bound moves
// only a regular file above the limit to ".1", never a link.
TEST(LogFile, SizeLimitAndTheSharedTraceBound) {
  TempDir dir;
  const std::string path = dir.file("trace.log"), older = path + ".1";
  const std::string block(1 << 20, '.');
  ASSERT_TRUE(WriteFile(path, block));
  auto manager = Manager(dir);
  manager->setLoggerLimitsize(0, 1);
  ASSERT_TRUE(manager->start());
  for (const char* text : {"one", "two", "three"}) Log(*manager, text);
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

// The process-wide instance: the log statements write nothing before start.
TEST(ManagerThread, ProcessInstanceDropsStatementsBeforeStart) {
  IVantaManager* manager = IVantaManager::getInstance();
  TempDir dir;
  manager->setLoggerPath(0, dir.path().c_str());
  manager->setLoggerName(0, "instance");
  manager->enableLogger(0, true);  // an earlier stop in this process disabled it
  VLOG_ALARM("before start %d", 1);
  ASSERT_TRUE(manager->start());
  VLOG_DEBUG("after start %d", 2);
  ASSERT_TRUE(manager->stop());
  const std::string text = ReadFile(dir.file("instance.log"));
  EXPECT_EQ(text.find("before start"), std::string::npos);  // nor kept for later
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
