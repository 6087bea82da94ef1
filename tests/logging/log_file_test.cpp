// Opening the trace file: refusal of links and non-regular files, monthdir directory creation,
// append and size rules, the reserve history, and the setters' stored values.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <limits>

#include "log_test_util.h"

namespace quorvel {
namespace vanta {
namespace {

using testing_support::makeManager;
using testing_support::readFileOrEmpty;
using testing_support::splitRecords;
using testing_support::TempDir;

LogerManager::Settings settingsOf(LogerManager& manager, int id) {
  LogerManager::Settings settings{};
  EXPECT_TRUE(manager.getLoggerSettings(id, &settings));
  return settings;
}

void logLine(LogerManager& manager, const char* text) {
  logPrintfTo(&manager, 0, LOG_LEVEL_INFO, "file.cpp", 1, "%s", text);
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
  struct tm parts;
  localtime_r(&now, &parts);
  char month[32];
  snprintf(month, sizeof(month), "%04d_%02d", parts.tm_year + 1900, parts.tm_mon + 1);
  const std::string text = readFileOrEmpty(base + "/" + month + "/trace.log");
  EXPECT_NE(text.find("into the month"), std::string::npos) << base + "/" + month;
}

TEST(LogFileTest, AppendsToTheSameFileWithMode0644) {
  TempDir dir;
  const std::string path = dir.file("trace.log");
  FILE* seed = fopen(path.c_str(), "wb");
  ASSERT_NE(seed, nullptr);
  fputs("earlier job\r\n", seed);
  fclose(seed);
  chmod(path.c_str(), 0600);

  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());
  logLine(*manager, "first");
  logLine(*manager, "second");
  ASSERT_TRUE(manager->stop());
  const auto records = splitRecords(readFileOrEmpty(path));
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[0], "earlier job");
  EXPECT_NE(records[records.size() - 2].find(" first "), std::string::npos);
  EXPECT_NE(records.back().find(" second "), std::string::npos);

  // A file the manager creates itself gets 0644 under a 022 umask.
  auto second = makeManager(dir);
  second->setLoggerName(0, "fresh");
  const mode_t old = umask(022);
  const bool started = second->start();
  umask(old);
  ASSERT_TRUE(started);
  ASSERT_TRUE(second->stop());
  struct stat st;
  ASSERT_EQ(stat(dir.file("fresh.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// Anything but a regular file at the trace path switches file output off and is left untouched.
enum class Obstacle { kSymlinkToFile, kDanglingSymlink, kDirectory, kFifo };

class RefusedPathTest : public ::testing::TestWithParam<Obstacle> {};

TEST_P(RefusedPathTest, FileOutputSwitchesOffWithoutTouchingTheTarget) {
  TempDir dir;
  const std::string path = dir.file("trace.log");
  const std::string victim = dir.file("victim");
  switch (GetParam()) {
    case Obstacle::kSymlinkToFile: {
      FILE* file = fopen(victim.c_str(), "wb");
      ASSERT_NE(file, nullptr);
      fputs("precious", file);
      fclose(file);
      ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
      break;
    }
    case Obstacle::kDanglingSymlink:
      ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
      break;
    case Obstacle::kDirectory:
      ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
      break;
    case Obstacle::kFifo:
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
      break;
  }
  auto manager = makeManager(dir);
  ASSERT_TRUE(manager->start());  // the banner is the first record refused
  EXPECT_FALSE(settingsOf(*manager, 0).outfile);
  EXPECT_EQ(manager->getStatusTotalWriteCount(), 0u);
  logLine(*manager, "must go nowhere");

  // Once the obstacle is gone and output is switched back on, records flow again.
  ASSERT_EQ(remove(path.c_str()), 0);
  manager->setLoggerOutFile(0, true);
  logLine(*manager, "after the fix");
  ASSERT_TRUE(manager->stop());

  if (GetParam() == Obstacle::kSymlinkToFile) {
    EXPECT_EQ(readFileOrEmpty(victim), "precious");
  } else {
    EXPECT_NE(access(victim.c_str(), F_OK), 0);
  }
  const std::string text = readFileOrEmpty(path);
  EXPECT_EQ(text.find("must go nowhere"), std::string::npos);
  EXPECT_NE(text.find("after the fix"), std::string::npos);
  EXPECT_EQ(manager->getStatusTotalWriteCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Obstacles, RefusedPathTest,
                         ::testing::Values(Obstacle::kSymlinkToFile, Obstacle::kDanglingSymlink,
                                           Obstacle::kDirectory, Obstacle::kFifo));

TEST(LogFileTest, UncreatableDirectorySwitchesOutputOff) {
  TempDir dir;
  FILE* blocker = fopen(dir.file("plainfile").c_str(), "wb");
  ASSERT_NE(blocker, nullptr);
  fclose(blocker);
  auto manager = makeManager(dir);
  manager->setLoggerPath(0, (dir.file("plainfile") + "/sub").c_str());
  ASSERT_TRUE(manager->start());
  EXPECT_FALSE(settingsOf(*manager, 0).outfile);
  EXPECT_TRUE(manager->stop());
}

// Beyond the size limit each record counts one more reopening of the same, unrenamed file.
TEST(LogFileTest, SizeLimitCountsReopeningsOfTheSameFile) {
  TempDir dir;
  const std::string path = dir.file("trace.log");
  FILE* seed = fopen(path.c_str(), "wb");
  ASSERT_NE(seed, nullptr);
  const std::string block(1 << 20, '.');
  fwrite(block.data(), 1, block.size(), seed);
  fclose(seed);

  auto manager = makeManager(dir);
  manager->setLoggerLimitsize(0, 1);
  manager->enableLogger(0, false);  // keep the banner out of the count
  ASSERT_TRUE(manager->start());
  manager->enableLogger(0, true);
  logLine(*manager, "one");  // first record of the day: index 0, size now above 1 MiB
  EXPECT_EQ(settingsOf(*manager, 0).fileIndex, 0u);
  logLine(*manager, "two");
  EXPECT_EQ(settingsOf(*manager, 0).fileIndex, 1u);
  logLine(*manager, "three");
  EXPECT_EQ(settingsOf(*manager, 0).fileIndex, 2u);
  manager->setLoggerLimitsize(0, 0);  // no practical limit
  logLine(*manager, "four");
  EXPECT_EQ(settingsOf(*manager, 0).fileIndex, 2u);
  ASSERT_TRUE(manager->stop());
  const auto records = splitRecords(readFileOrEmpty(path).substr(block.size()));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_NE(records[3].find(" four "), std::string::npos);
}

TEST(LogFileTest, ReserveDeletesOlderFilesOfTheHistory) {
  TempDir dir;
  auto manager = makeManager(dir);
  manager->setLoggerReserveTime(0, 1);
  manager->enableLogger(0, false);
  ASSERT_TRUE(manager->start());
  manager->enableLogger(0, true);
  manager->setLoggerName(0, "first");
  logLine(*manager, "a");
  manager->setLoggerName(0, "second");
  logLine(*manager, "b");
  EXPECT_EQ(access(dir.file("first.log").c_str(), F_OK), 0);
  sleep(2);
  manager->setLoggerName(0, "third");
  logLine(*manager, "c");
  ASSERT_TRUE(manager->stop());
  EXPECT_NE(access(dir.file("first.log").c_str(), F_OK), 0);
  EXPECT_NE(access(dir.file("second.log").c_str(), F_OK), 0);
  EXPECT_NE(readFileOrEmpty(dir.file("third.log")).find(" c "), std::string::npos);
}

TEST(LogFileTest, SettersStoreWhatTheyShould) {
  LogerManager manager;
  EXPECT_TRUE(manager.setLoggerPath(0, "/tmp"));
  EXPECT_EQ(settingsOf(manager, 0).path, "/tmp/");
  EXPECT_TRUE(manager.setLoggerPath(0, "C:\\logs\\"));
  EXPECT_EQ(settingsOf(manager, 0).path, "C:\\logs\\");
  EXPECT_TRUE(manager.setLoggerPath(0, ""));
  EXPECT_EQ(settingsOf(manager, 0).path, "C:\\logs\\");
  EXPECT_FALSE(manager.setLoggerPath(0, nullptr));
  EXPECT_FALSE(manager.setLoggerName(0, nullptr));
  EXPECT_TRUE(manager.setLoggerName(0, ""));
  EXPECT_EQ(settingsOf(manager, 0).name, "Main");
  EXPECT_TRUE(manager.setLoggerLimitsize(0, 0));
  EXPECT_EQ(settingsOf(manager, 0).limitsize, std::numeric_limits<uint32_t>::max());
  EXPECT_TRUE(manager.setLoggerReserveTime(0, -5));
  EXPECT_EQ(settingsOf(manager, 0).reserve, 0);
  EXPECT_TRUE(manager.setLoggerLevel(0, 6));
  EXPECT_TRUE(manager.setLoggerLevel(0, 0));
  EXPECT_EQ(settingsOf(manager, 0).level, 0);

  // Strings of 8192 bytes or more are refused.
  EXPECT_TRUE(manager.setLoggerName(0, std::string(8191, 'n').c_str()));
  EXPECT_FALSE(manager.setLoggerName(0, std::string(8192, 'm').c_str()));
  EXPECT_EQ(settingsOf(manager, 0).name, std::string(8191, 'n'));

  // Ids beyond lastId, or negative, do nothing.
  EXPECT_FALSE(manager.enableLogger(1, true));
  EXPECT_FALSE(manager.setLoggerLevel(-1, 1));
  EXPECT_FALSE(manager.isLoggerEnable(1));
  EXPECT_FALSE(manager.prePushLog(5, LOG_LEVEL_FATAL));
  EXPECT_EQ(manager.makeLogData(20, LOG_LEVEL_INFO), nullptr);
  EXPECT_EQ(manager.getStatusActiveLoggers(), 1);
  EXPECT_TRUE(manager.enableLogger(0, false));
  EXPECT_EQ(manager.getStatusActiveLoggers(), 0);
  EXPECT_EQ(manager.getStatusTotalPushQueue(), 0u);
  EXPECT_EQ(manager.getStatusTotalPopQueue(), 0u);
}

}  // namespace
}  // namespace vanta
}  // namespace quorvel
