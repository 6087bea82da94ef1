// Placeholder manager that drops every record; replaced by the real LogerManager.
#include "logging/vanta.h"

namespace quorvel {
namespace vanta {
namespace {
class NullManager : public IVantaManager {
 public:
  bool config(const char*) override { return false; }
  bool configFromString(const char*) override { return false; }
  int createLogger(const char*) override { return -1; }
  bool start() override { return false; }
  bool stop() override { return false; }
  int findLogger(const char*) override { return -1; }
  bool prePushLog(int, int) override { return false; }
  bool pushLog(LogData*, const char*, int) override { return false; }
  bool enableLogger(int, bool) override { return false; }
  bool setLoggerName(int, const char*) override { return false; }
  bool setLoggerPath(int, const char*) override { return false; }
  bool setLoggerLevel(int, int) override { return false; }
  bool setLoggerFileLine(int, bool) override { return false; }
  bool setLoggerDisplay(int, bool) override { return false; }
  bool setLoggerOutFile(int, bool) override { return false; }
  bool setLoggerLimitsize(int, unsigned int) override { return false; }
  bool setLoggerMonthdir(int, bool) override { return false; }
  bool setLoggerReserveTime(int, int64_t) override { return false; }
  bool setAutoUpdate(int) override { return true; }
  bool updateConfig() override { return false; }
  bool isLoggerEnable(int) override { return false; }
  unsigned long long getStatusTotalWriteCount() override { return 0; }
  unsigned long long getStatusTotalWriteBytes() override { return 0; }
  unsigned long long getStatusTotalPushQueue() override { return 0; }
  unsigned long long getStatusTotalPopQueue() override { return 0; }
  int getStatusActiveLoggers() override { return 0; }
  LogData* makeLogData(int, int) override { return nullptr; }
  void freeLogData(LogData*) override {}
};
}  // namespace

IVantaManager* IVantaManager::getInstance() {
  static NullManager manager;
  return &manager;
}

}  // namespace vanta
}  // namespace quorvel
