// The log manager behind IVantaManager: a table of 20 loggers, the record pool, the synchronous
// write path, the background thread and configuration loading. Tests may build private instances.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "logging/loger_info.h"
#include "logging/sync_helpers.h"
#include "logging/vanta.h"

namespace quorvel {
namespace vanta {

constexpr int kMaxLoggers = 20;
constexpr size_t kMaxPooledRecords = 200;
constexpr int kStartTimeoutMs = 3000;
constexpr int kHousekeepingMs = 50;

// Change kinds applied through hotChange (also the LogDataType values of such records).
enum LogDataType : int32_t {
  LOG_DATA_NORMAL = 0,
  LOG_CHANGE_ENABLE = 1,
  LOG_CHANGE_NAME = 2,
  LOG_CHANGE_PATH = 3,
  LOG_CHANGE_LEVEL = 4,
  LOG_CHANGE_FILELINE = 5,
  LOG_CHANGE_DISPLAY = 6,
  LOG_CHANGE_OUTFILE = 7,
  LOG_CHANGE_LIMITSIZE = 8,
  LOG_CHANGE_MONTHDIR = 9,
  LOG_CHANGE_RESERVE = 10,
};

class LogerManager final : public ThreadHelper, public IVantaManager {
 public:
  LogerManager();
  ~LogerManager() override;

  void run() override;

  bool config(const char* path) override;
  bool configFromString(const char* text) override;
  int createLogger(const char* key) override;
  bool start() override;
  bool stop() override;
  int findLogger(const char* key) override;
  bool prePushLog(int id, int level) override;
  bool pushLog(LogData* record, const char* file, int line) override;
  bool enableLogger(int id, bool on) override;
  bool setLoggerName(int id, const char* name) override;
  bool setLoggerPath(int id, const char* path) override;
  bool setLoggerLevel(int id, int level) override;
  bool setLoggerFileLine(int id, bool on) override;
  bool setLoggerDisplay(int id, bool on) override;
  bool setLoggerOutFile(int id, bool on) override;
  bool setLoggerLimitsize(int id, unsigned int megabytes) override;
  bool setLoggerMonthdir(int id, bool on) override;
  bool setLoggerReserveTime(int id, int64_t seconds) override;
  bool setAutoUpdate(int seconds) override;
  bool updateConfig() override;
  bool isLoggerEnable(int id) override;
  unsigned long long getStatusTotalWriteCount() override;
  unsigned long long getStatusTotalWriteBytes() override;
  unsigned long long getStatusTotalPushQueue() override;
  unsigned long long getStatusTotalPopQueue() override;
  int getStatusActiveLoggers() override;
  LogData* makeLogData(int id, int level) override;
  void freeLogData(LogData* record) override;

  // A copy of one slot's settings (file state left out), for inspection.
  struct Settings {
    std::string key, name, path;
    int32_t level;
    bool display, outfile, monthdir, enable, fileline;
    uint32_t limitsize;
    int64_t reserve;
    uint32_t fileIndex;
  };
  bool getLoggerSettings(int id, Settings* out);
  bool isRunning() const { return running.load(); }
  // Whether each record's file is closed durably (fsync) or only closed; durable by default.
  void setDurableClose(bool on) { durableClose.store(on); }

 private:
  bool validId(int id) const { return id >= 0 && id <= lastId.load(); }
  bool hotChange(int id, int kind, int64_t value, const char* text);
  void onHotChange(int id, int kind, int64_t value, const char* text);
  bool openLogger(const LogData* record);
  void writeRecord(const LogData* record);
  void closeFile(int id);
  void logLoggerSummary(int id);
  bool applyConfigText(const std::string& text, bool onlyReload);
  void freePool();

  std::atomic<bool> running{false};
  std::atomic<bool> durableClose{true};
  LoggerInfo loggers[kMaxLoggers];
  std::atomic<int32_t> lastId{0};
  std::map<std::string, int> ids;
  LockHelper writeLock;   // files, slot strings and ids
  LockHelper poolLock;    // pool
  LockHelper queueLock;   // the record queue, which nothing fills
  LockHelper configLock;  // configPath, checksum and applying a configuration
  std::vector<LogData*> pool;
  std::vector<LogData*> queue;
  std::vector<LogData*> queueSwap;
  SemHelper startSem;
  WakeHelper stopWake;  // cuts the thread's housekeeping pause short on stop
  std::string configPath;
  uint32_t checksum = 0;
  std::atomic<int32_t> autoUpdateInterval{0};
  std::atomic<unsigned long long> totalWriteCount{0};
  std::atomic<unsigned long long> totalWriteBytes{0};
  std::atomic<unsigned long long> totalPushQueue{0};
  std::atomic<unsigned long long> totalPopQueue{0};
};

}  // namespace vanta
}  // namespace quorvel
