// The trace file and the manager's thread: monthdir directory creation, append and size rules,
// the setters, start and stop, logging before start, writers racing the setters, and the
// process-wide instance. A link planted at the trace path is tested through the filter.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <set>
#include <thread>

#include "tests/support/log_manager.h"

namespace quorvel {
namespace vanta {
namespace {

using namespace testing_support;
using quorvel::test::WriteFile;

const char kBanner[] = "-----------------  vanta thread started!   ----------------------------";

// The message texts of a file's records, all of which must be ALARM records (the start lines),
// without the level in front and the file:line suffix behind.
std::vector<std::string> AlarmTexts(const std::string& path) {
  std::vector<std::string> texts;
  for (const auto& r : splitRecords(ReadFile(path))) {
    const size_t level = r.find(" LOG_ALARM ");
    EXPECT_NE(level, std::string::npos) << r;
    if (level == std::string::npos) continue;
    texts.push_back(r.substr(level + 11, r.rfind(' ') - level - 11));
  }
  return texts;
}

TEST(LogFileTest, MonthdirCreatesEveryMissingComponent) {
  TempDir dir;
  auto manager = makeManager(dir);
  const std::string base = dir.path() + "/a/b/c";
  manager->setLoggerPath(0, base.c_str());
  manager->setLoggerMonthdir(0, true);
  ASSERT_TRUE(manager->start());
  logLine(*manager, "into the month");
  ASSERT_TRUE(manager->stop());
  const time_t now = time(nullptr);
  char month[16];
  strftime(month, sizeof(month), "%Y_%m", localtime(&now));
  EXPECT_NE(ReadFile(base + "/" + month + "/trace.log").find("into the month"), std::string::npos);
}

// Filters of every user append to one trace, so a new file is 0666 whatever the umask.
TEST(LogFileTest, AppendsToTheSameFileAndCreatesItForEveryUser) {
  TempDir dir;
  const std::string path = dir.file("trace.log");
  ASSERT_TRUE(WriteFile(path, "earlier job\r\n"));
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  logLine(*manager, "first");
  ASSERT_TRUE(manager->stop());
  const auto records = splitRecords(ReadFile(path));
  ASSERT_EQ(records.size(), 4u);  // the old line, the banner, the logger line, ours
  EXPECT_EQ(records[0], "earlier job");
  EXPECT_NE(records[3].find(" first "), std::string::npos);

  for (mode_t mask : {022, 077}) {
    const std::string name = "fresh" + std::to_string(mask);
    auto fresh = makeManager(dir, name.c_str());
    const mode_t old = umask(mask);
    const bool started = fresh->start();
    umask(old);
    ASSERT_TRUE(started);
    ASSERT_TRUE(fresh->stop());
    struct stat st;
    ASSERT_EQ(stat(dir.file(name + ".log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u) << mask;
  }
}

// Beyond the size limit each record counts one more reopening of the same, unrenamed file.
TEST(LogFileTest, SizeLimitReopensTheSameFile) {
  TempDir dir;
  const std::string block(1 << 20, '.');
  ASSERT_TRUE(WriteFile(dir.file("trace.log"), block));
  auto manager = makeManager(dir);
  manager->setLoggerLimitsize(0, 1);
  ASSERT_TRUE(manager->start());  // banner and logger line: index 0, then 1
  for (const char* text : {"one", "two", "three"}) logLine(*manager, text);
  EXPECT_EQ(settingsOf(*manager, 0).fileIndex, 4u);
  ASSERT_TRUE(manager->stop());
  const auto records = splitRecords(ReadFile(dir.file("trace.log")).substr(block.size()));
  ASSERT_EQ(records.size(), 5u);
  EXPECT_NE(records[4].find(" three "), std::string::npos);
}

// The bound of a shared trace: only a regular file above the limit moves, to ".1", replacing
// the older copy; a link stays a link and its target stays untouched.
TEST(LogFileTest, BoundSharedFileMovesOnlyAnOversizeRegularFile) {
  TempDir dir;
  const std::string path = dir.file("trace.log"), older = path + ".1";
  ASSERT_TRUE(WriteFile(path, "0123456789"));
  ASSERT_TRUE(WriteFile(older, "oldest"));
  EXPECT_FALSE(boundSharedFile(path, 10));  // not larger than the limit
  EXPECT_EQ(ReadFile(older), "oldest");
  EXPECT_TRUE(boundSharedFile(path, 9));
  EXPECT_EQ(ReadFile(older), "0123456789");
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  EXPECT_FALSE(boundSharedFile(path, 0));  // nothing there

  const std::string victim = dir.file("victim");
  ASSERT_TRUE(WriteFile(victim, "precious"));
  ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
  EXPECT_FALSE(boundSharedFile(path, 0));
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_EQ(ReadFile(older), "0123456789");
}

TEST(LogFileTest, SettersRefuseBadIdsAndOverlongStrings) {
  LogerManager manager;
  EXPECT_TRUE(manager.setLoggerName(0, std::string(8191, 'n').c_str()));
  EXPECT_FALSE(manager.setLoggerName(0, std::string(8192, 'm').c_str()));
  EXPECT_EQ(settingsOf(manager, 0).name, std::string(8191, 'n'));
  EXPECT_FALSE(manager.setLoggerPath(0, nullptr));
  EXPECT_FALSE(manager.enableLogger(1, true));  // beyond lastId
  EXPECT_FALSE(manager.setLoggerLevel(-1, 1));
  EXPECT_FALSE(manager.prePushLog(5, LOG_LEVEL_FATAL));
  EXPECT_EQ(manager.makeLogData(20, LOG_LEVEL_INFO), nullptr);
}

TEST(ManagerThreadTest, NothingIsWrittenBeforeStartAndStartStopPairUp) {
  TempDir dir;
  auto manager = makeManager(dir);
  logPrintfTo(manager.get(), 0, LOG_LEVEL_FATAL, "early.cpp", 1, "too early");
  EXPECT_NE(access(dir.file("trace.log").c_str(), F_OK), 0);
  EXPECT_FALSE(manager->stop());

  ASSERT_TRUE(manager->start());
  EXPECT_FALSE(manager->start());
  ASSERT_TRUE(manager->stop());
  EXPECT_FALSE(manager->stop());
  EXPECT_FALSE(manager->isLoggerEnable(0));  // stopping disables every logger

  // A second start works again with the banner and the logger line.
  manager->enableLogger(0, true);
  ASSERT_TRUE(manager->start());
  ASSERT_TRUE(manager->stop());
  const std::vector<std::string> texts = AlarmTexts(dir.file("trace.log"));
  const std::string main =
      "logger id=0 key=Main name=trace path=" + dir.path() + "/ level=1 display=true";
  EXPECT_EQ(texts, std::vector<std::string>({kBanner, main, kBanner, main}));

  // Destroying a running manager stops its thread after the last record is written.
  auto running = makeManager(dir, "last");
  ASSERT_TRUE(running->start());
  logLine(*running, "last words");
  running.reset();
  EXPECT_NE(ReadFile(dir.file("last.log")).find("last words"), std::string::npos);
}

// The start lines name every enabled logger in id order, a negative level with its sign and
// a switched-off display as "false"; disabled loggers get no line.
TEST(ManagerThreadTest, StartLinesListEnabledLoggersOnly) {
  TempDir dir;
  auto manager = makeManager(dir);
  manager->setLoggerLevel(0, -3);
  ASSERT_TRUE(
      manager->configFromString("[bux]\nenable=false\n[aux]\nlevel=Error\ndisplay=0\n"
                                "path=/x\nname=AuxFile\n"));
  ASSERT_TRUE(manager->start());
  ASSERT_TRUE(manager->stop());
  const std::vector<std::string> texts = AlarmTexts(dir.file("trace.log"));
  EXPECT_EQ(texts,
            std::vector<std::string>(
                {kBanner,
                 "logger id=0 key=Main name=trace path=" + dir.path() + "/ level=-3 display=true",
                 "logger id=1 key=aux name=AuxFile path=/x/ level=4 display=false"}));
}

// The manager's thread closes the files of disabled loggers while a writer keeps logging:
// race-free under TSan (each disabled spell outlasts the thread's housekeeping period), and
// no record is cut or mixed.
TEST(ManagerThreadTest, ClosingDisabledFilesRacesNoWriter) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  std::atomic<bool> done{false};
  std::thread writer([&manager, &done] {
    for (int n = 0; !done; ++n)
      logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, "w.cpp", n, "record %d", n);
  });
  for (int n = 0; n < 4; ++n) {
    manager->setLoggerName(0, n % 2 ? "trace" : "other");
    manager->setLoggerFileLine(0, n % 2 == 0);
    manager->enableLogger(0, false);
    usleep(70 * 1000);
    manager->enableLogger(0, true);
    usleep(20 * 1000);
  }
  done = true;
  writer.join();
  ASSERT_TRUE(manager->stop());
  for (const auto& record :
       splitRecords(ReadFile(dir.file("trace.log")) + ReadFile(dir.file("other.log"))))
    EXPECT_NE(record.find(" LOG_"), std::string::npos) << record;
}

// The process-wide instance: one for all threads, and the log statements write nothing
// before start.
TEST(ManagerThreadTest, ProcessInstanceDropsStatementsBeforeStart) {
  IVantaManager* results[4] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&results, t] { results[t] = IVantaManager::getInstance(); });
  for (auto& thread : threads) thread.join();
  ASSERT_EQ(std::set<IVantaManager*>(results, results + 4).size(), 1u);
  IVantaManager* manager = results[0];

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
  EXPECT_NE(text.find(" LOG_DEBUG after start 2 log_file_test.cpp:"), std::string::npos);
}

// The TSan build of these tests must really be instrumented, or its clean run proves nothing.
TEST(ManagerThreadTest, ThreadSanitizerIsOnInItsBuild) {
#if defined(QEV_SANITIZE_TSAN)
  EXPECT_NE(dlsym(RTLD_DEFAULT, "__tsan_init"), nullptr);
#else
  GTEST_SKIP() << "not a ThreadSanitizer build";
#endif
}

}  // namespace
}  // namespace vanta
}  // namespace quorvel
