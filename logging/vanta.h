// The process-wide trace log: the manager interface, the record, and the log statement that
// every subsystem uses (VLOG_DEBUG and friends, always on logger 0).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>

namespace quorvel {
namespace vanta {

enum LogLevel : int32_t {
  LOG_LEVEL_TRACE = 0,
  LOG_LEVEL_DEBUG = 1,
  LOG_LEVEL_INFO = 2,
  LOG_LEVEL_WARN = 3,
  LOG_LEVEL_ERROR = 4,
  LOG_LEVEL_ALARM = 5,
  LOG_LEVEL_FATAL = 6,
};

constexpr int kLogContentSize = 8192;

// One record: a 36-byte head and the text area (one spare byte for the closing NUL).
struct LogData {
  int32_t id;
  int32_t type;
  int32_t typeValue;
  int32_t level;
  int64_t time;
  uint32_t millis;
  uint32_t threadId;
  int32_t contentLen;
  char content[kLogContentSize + 1];
};

class IVantaManager {
 public:
  virtual ~IVantaManager() = default;
  virtual bool config(const char* path) = 0;
  virtual bool configFromString(const char* text) = 0;
  virtual int createLogger(const char* key) = 0;
  virtual bool start() = 0;
  virtual bool stop() = 0;
  virtual int findLogger(const char* key) = 0;
  virtual bool prePushLog(int id, int level) = 0;
  virtual bool pushLog(LogData* record, const char* file, int line) = 0;
  virtual bool enableLogger(int id, bool on) = 0;
  virtual bool setLoggerName(int id, const char* name) = 0;
  virtual bool setLoggerPath(int id, const char* path) = 0;
  virtual bool setLoggerLevel(int id, int level) = 0;
  virtual bool setLoggerFileLine(int id, bool on) = 0;
  virtual bool setLoggerDisplay(int id, bool on) = 0;
  virtual bool setLoggerOutFile(int id, bool on) = 0;
  virtual bool setLoggerLimitsize(int id, unsigned int megabytes) = 0;
  virtual bool setLoggerMonthdir(int id, bool on) = 0;
  virtual bool setLoggerReserveTime(int id, int64_t seconds) = 0;
  virtual bool setAutoUpdate(int seconds) = 0;
  virtual bool updateConfig() = 0;
  virtual bool isLoggerEnable(int id) = 0;
  virtual unsigned long long getStatusTotalWriteCount() = 0;
  virtual unsigned long long getStatusTotalWriteBytes() = 0;
  virtual unsigned long long getStatusTotalPushQueue() = 0;
  virtual unsigned long long getStatusTotalPopQueue() = 0;
  virtual int getStatusActiveLoggers() = 0;
  virtual LogData* makeLogData(int id, int level) = 0;
  virtual void freeLogData(LogData* record) = 0;

  // The one manager, created on first use and destroyed at process exit.
  static IVantaManager* getInstance();
};

// How the one manager closes a file after each record: durably (fsync, the default) so the
// trace survives a crash of the machine, or only closed, which is much cheaper on a disk.
void setDurableClose(bool on);

// The log statement: tests prePushLog first (nothing is formatted when the record would be
// dropped), then makes, formats and pushes one record with the caller's source position.
void logPrintf(int id, int level, const char* file, int line, const char* fmt, ...)
    __attribute__((format(printf, 5, 6)));

// The same statement on a given manager (the manager's own thread logs through it).
void logPrintfTo(IVantaManager* manager, int id, int level, const char* file, int line,
                 const char* fmt, ...) __attribute__((format(printf, 6, 7)));
void vlogPrintfTo(IVantaManager* manager, int id, int level, const char* file, int line,
                  const char* fmt, va_list args) __attribute__((format(printf, 6, 0)));

}  // namespace vanta
}  // namespace quorvel

#define VLOG_AT(level, ...) ::quorvel::vanta::logPrintf(0, (level), __FILE__, __LINE__, __VA_ARGS__)
#define VLOG_TRACE(...) VLOG_AT(::quorvel::vanta::LOG_LEVEL_TRACE, __VA_ARGS__)
#define VLOG_DEBUG(...) VLOG_AT(::quorvel::vanta::LOG_LEVEL_DEBUG, __VA_ARGS__)
#define VLOG_INFO(...) VLOG_AT(::quorvel::vanta::LOG_LEVEL_INFO, __VA_ARGS__)
#define VLOG_WARN(...) VLOG_AT(::quorvel::vanta::LOG_LEVEL_WARN, __VA_ARGS__)
#define VLOG_ERROR(...) VLOG_AT(::quorvel::vanta::LOG_LEVEL_ERROR, __VA_ARGS__)
#define VLOG_ALARM(...) VLOG_AT(::quorvel::vanta::LOG_LEVEL_ALARM, __VA_ARGS__)
