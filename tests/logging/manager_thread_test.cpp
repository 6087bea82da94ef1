// Start and stop of the log manager's thread, logging before start, the closing of disabled
// loggers' files, automatic configuration re-reads, and the process-wide instance.
#include <unistd.h>

#include <cstdio>
#include <set>
#include <thread>

#include "log_test_util.h"

namespace quorvel {
namespace vanta {
namespace {

using testing_support::makeManager;
using testing_support::readFileOrEmpty;
using testing_support::splitRecords;
using testing_support::TempDir;

TEST(ManagerThreadTest, NothingIsWrittenBeforeStartAndStartStopPairUp) {
  TempDir dir;
  auto manager = makeManager(dir);
  EXPECT_FALSE(manager->prePushLog(0, LOG_LEVEL_FATAL));
  logPrintfTo(manager.get(), 0, LOG_LEVEL_FATAL, "early.cpp", 1, "too early");
  LogData* record = manager->makeLogData(0, LOG_LEVEL_FATAL);
  ASSERT_NE(record, nullptr);
  EXPECT_FALSE(manager->pushLog(record, "early.cpp", 2));
  EXPECT_NE(access(dir.file("trace.log").c_str(), F_OK), 0);
  EXPECT_FALSE(manager->stop());

  ASSERT_TRUE(manager->start());
  EXPECT_TRUE(manager->isRunning());
  EXPECT_FALSE(manager->start());
  ASSERT_TRUE(manager->stop());
  EXPECT_FALSE(manager->isRunning());
  EXPECT_FALSE(manager->stop());
  // Stopping disables every logger that was enabled.
  EXPECT_FALSE(manager->isLoggerEnable(0));
  EXPECT_FALSE(manager->prePushLog(0, LOG_LEVEL_FATAL));

  // A second start works again, and only enabled loggers get their start line.
  manager->enableLogger(0, true);
  ASSERT_EQ(manager->createLogger("quiet"), 1);
  manager->enableLogger(1, false);
  ASSERT_EQ(manager->createLogger("loud"), 2);
  ASSERT_TRUE(manager->start());
  ASSERT_TRUE(manager->stop());
  const auto records = splitRecords(readFileOrEmpty(dir.file("trace.log")));
  std::vector<std::string> texts;
  for (const auto& r : records) {
    const size_t level = r.find(" LOG_ALARM ");
    ASSERT_NE(level, std::string::npos) << r;
    texts.push_back(r.substr(level + 11, r.rfind(' ') - level - 11));
  }
  const std::string banner =
      "-----------------  vanta thread started!   ----------------------------";
  const std::string main =
      "logger id=0 key=Main name=trace path=" + dir.path() + "/ level=1 display=true";
  const std::vector<std::string> expected = {
      banner, main, banner, main,
      "logger id=2 key=loud name=loud path=./log/ level=1 display=true"};
  EXPECT_EQ(texts, expected);
}

TEST(ManagerThreadTest, DestroyingARunningManagerStopsItsThread) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, "d.cpp", 3, "last words");
  manager.reset();
  EXPECT_NE(readFileOrEmpty(dir.file("trace.log")).find("last words"), std::string::npos);
}

TEST(ManagerThreadTest, AutoUpdateRereadsTheConfigurationFile) {
  TempDir dir;
  const std::string ini = dir.file("auto.ini");
  FILE* file = fopen(ini.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fputs("[Main]\nlevel=info\n", file);
  fclose(file);
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->config(ini.c_str()));
  EXPECT_TRUE(manager->setAutoUpdate(1));
  manager->setLoggerPath(0, dir.path().c_str());  // the section's default path replaced ours
  ASSERT_TRUE(manager->start());
  file = fopen(ini.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fputs("[Main]\nlevel=fatal\n", file);
  fclose(file);
  bool changed = false;
  for (int wait = 0; wait < 60 && !changed; ++wait) {
    usleep(100 * 1000);
    changed = !manager->prePushLog(0, LOG_LEVEL_ALARM);
  }
  EXPECT_TRUE(changed);
  EXPECT_TRUE(manager->prePushLog(0, LOG_LEVEL_FATAL));
  ASSERT_TRUE(manager->stop());
}

// Logging from many threads while settings change must stay race-free (checked under TSan).
TEST(ManagerThreadTest, SettersRaceFreeAgainstWriters) {
  TempDir dir;
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  std::thread writer([&manager] {
    for (int n = 0; n < 100; ++n) {
      logPrintfTo(manager.get(), 0, LOG_LEVEL_INFO, "w.cpp", n, "record %d", n);
    }
  });
  for (int n = 0; n < 50; ++n) {
    manager->setLoggerName(0, n % 2 ? "trace" : "other");
    manager->setLoggerFileLine(0, n % 3 != 0);
    manager->enableLogger(0, n % 5 != 4);
    manager->enableLogger(0, true);
    manager->setLoggerLevel(0, n % 2);
    usleep(1000);
  }
  writer.join();
  ASSERT_TRUE(manager->stop());
  const std::string text =
      readFileOrEmpty(dir.file("trace.log")) + readFileOrEmpty(dir.file("other.log"));
  for (const auto& record : splitRecords(text)) {
    EXPECT_NE(record.find(" LOG_"), std::string::npos) << record;
  }
}

// The only test of the process-wide instance: it is created once for all threads, logs nothing
// before start, and is stopped again at process exit.
TEST(ManagerThreadTest, ProcessInstanceDropsStatementsBeforeStart) {
  std::set<IVantaManager*> seen;
  std::vector<std::thread> threads;
  IVantaManager* results[4] = {};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&results, t] { results[t] = IVantaManager::getInstance(); });
  }
  for (auto& thread : threads) thread.join();
  for (IVantaManager* result : results) seen.insert(result);
  ASSERT_EQ(seen.size(), 1u);
  IVantaManager* manager = *seen.begin();

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
  const std::string text = readFileOrEmpty(dir.file("instance.log"));
  EXPECT_EQ(text.find("before start"), std::string::npos);
  EXPECT_EQ(text.find("below the level"), std::string::npos);
  EXPECT_NE(text.find(" LOG_DEBUG after start 2 manager_thread_test.cpp:"), std::string::npos);
}

#if defined(__SANITIZE_THREAD__)
[[maybe_unused]] constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
[[maybe_unused]] constexpr bool kThreadSanitizer = true;
#else
[[maybe_unused]] constexpr bool kThreadSanitizer = false;
#endif
#else
[[maybe_unused]] constexpr bool kThreadSanitizer = false;
#endif

// The TSan build of these tests must really be instrumented, or its clean run proves nothing.
TEST(ManagerThreadTest, ThreadSanitizerIsOnInItsBuild) {
#if defined(QEV_SANITIZE_TSAN)
  EXPECT_TRUE(kThreadSanitizer);
#else
  GTEST_SKIP() << "not a ThreadSanitizer build";
#endif
}

}  // namespace
}  // namespace vanta
}  // namespace quorvel
