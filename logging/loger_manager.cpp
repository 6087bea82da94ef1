// The log manager's logger table, record pool, setters and synchronous write path: the thread
// that logs appends its record itself and closes the file durably after every record.
#include "logging/loger_manager.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "logging/config_parser.h"
#include "logging/log_record.h"

namespace quorvel {
namespace vanta {

LogerManager::LogerManager() {
  loggers[0].key = "Main";
  loggers[0].name = "Main";
  loggers[0].enable = true;
  ids["Main"] = 0;
}

LogerManager::~LogerManager() {
  if (running.load()) {
    LogerManager::stop();
  } else if (isStarted()) {
    // start() gave up waiting, but the thread will still come up; let it, then stop it.
    startSem.wait(0);
    LogerManager::stop();
  }
  {
    ScopedLock hold(writeLock);
    for (LoggerInfo& info : loggers) info.file.close();
  }
  freePool();
}

void LogerManager::freePool() {
  ScopedLock hold(poolLock);
  for (LogData* record : pool) free(record);
  pool.clear();
}

LogData* LogerManager::makeLogData(int id, int level) {
  if (!validId(id)) return nullptr;
  LogData* record = nullptr;
  {
    ScopedLock hold(poolLock);
    if (!pool.empty()) {
      record = pool.back();
      pool.pop_back();
    }
  }
  if (record == nullptr) {
    record = static_cast<LogData*>(malloc(sizeof(LogData)));
    if (record == nullptr) return nullptr;
  }
  struct timeval now;
  gettimeofday(&now, nullptr);
  record->id = id;
  record->type = LOG_DATA_NORMAL;
  record->typeValue = 0;
  record->level = level;
  record->time = now.tv_sec;
  record->millis = static_cast<uint32_t>(now.tv_usec / 1000);
  record->threadId = static_cast<uint32_t>(syscall(SYS_gettid));
  record->contentLen = 0;
  record->content[0] = '\0';
  writeRecordHeader(record);
  return record;
}

void LogerManager::freeLogData(LogData* record) {
  if (record == nullptr) return;
  {
    ScopedLock hold(poolLock);
    if (pool.size() < kMaxPooledRecords) {
      pool.push_back(record);
      return;
    }
  }
  free(record);
}

bool LogerManager::prePushLog(int id, int level) {
  if (!validId(id) || !running.load()) return false;
  const LoggerInfo& info = loggers[id];
  return info.enable && level >= info.level;
}

bool LogerManager::pushLog(LogData* record, const char* file, int line) {
  if (record == nullptr) return false;
  if (!prePushLog(record->id, record->level)) {
    freeLogData(record);
    return false;
  }
  // A caller that damaged contentLen must not make the write path leave the text area.
  if (record->contentLen < 0) record->contentLen = 0;
  if (record->contentLen > kLogContentSize) record->contentLen = kLogContentSize;
  const LoggerInfo& info = loggers[record->id];
  if (info.fileline && file != nullptr) appendSourceSuffix(record, file, line);
  finishRecordLine(record);
  if (info.outfile) writeRecord(record);
  freeLogData(record);
  return true;
}

void LogerManager::writeRecord(const LogData* record) {
  ScopedLock hold(writeLock);
  if (!openLogger(record)) return;
  LoggerInfo& info = loggers[record->id];
  const size_t len = static_cast<size_t>(record->contentLen);
  const bool durable = durableClose.load();
  if (fwrite(record->content, 1, len, info.file.get()) < len) info.file.close(durable);
  info.fileSize += static_cast<uint32_t>(len);
  info.file.close(durable);
  totalWriteCount.fetch_add(1);
  totalWriteBytes.fetch_add(len);
}

// Called under writeLock.
bool LogerManager::openLogger(const LogData* record) {
  LoggerInfo& info = loggers[record->id];
  if (!info.enable || !info.outfile || record->level < info.level) return false;
  const time_t t = static_cast<time_t>(record->time);
  const uint32_t limitBytes = info.limitsize * (1u << 20);  // wraps in 32 bits as stored
  if (t < info.fileCreateDay || t > info.fileCreateDay + 86399) {
    info.fileIndex = 0;
  } else if (limitBytes >= info.fileSize) {
    if (info.file.isOpen()) return true;
  } else {
    info.fileIndex++;
  }
  info.file.close();

  info.fileCreateTime = t;
  info.fileSize = 0;
  info.fileCreateDay = localMidnight(t);

  std::string dir = info.path;
  if (info.monthdir) {
    struct tm parts;
    localtime_r(&t, &parts);
    char month[32];
    snprintf(month, sizeof(month), "%04d_%02d/", parts.tm_year + 1900, parts.tm_mon + 1);
    dir += month;
  }
  createDirectories(dir);
  const std::string fileName = dir + info.name + ".log";
  uint32_t size = 0;
  if (!info.file.openAppend(fileName, &size)) {
    info.outfile = false;
    return false;
  }
  info.fileSize = size;
  if (info.reserve >= 1) {
    const time_t now = time(nullptr);
    if (info.history.size() >= 2) {
      while (!info.history.empty() && info.history.front().first < now - info.reserve) {
        remove(info.history.front().second.c_str());
        info.history.pop_front();
      }
    }
    if (info.history.empty() || info.history.back().second != fileName) {
      info.history.emplace_back(now, fileName);
    }
  }
  return true;
}

int LogerManager::createLogger(const char* key) {
  if (key == nullptr) return -1;
  const std::string trimmed = trimConfigText(key, kConfigTrimChars);
  ScopedLock hold(writeLock);
  auto found = ids.find(trimmed);
  if (found != ids.end()) return found->second;
  const int32_t id = lastId.load();
  if (id >= kMaxLoggers - 1) return -1;
  LoggerInfo& info = loggers[id + 1];
  info.enable = true;
  info.key = trimmed;
  info.name = trimmed;
  ids[trimmed] = id + 1;
  lastId.store(id + 1);
  return id + 1;
}

int LogerManager::findLogger(const char* key) {
  if (key == nullptr) return -1;
  ScopedLock hold(writeLock);
  auto found = ids.find(key);
  return found == ids.end() ? -1 : found->second;
}

bool LogerManager::hotChange(int id, int kind, int64_t value, const char* text) {
  if (!validId(id)) return false;
  if (text != nullptr && strlen(text) >= static_cast<size_t>(kLogContentSize)) return false;
  onHotChange(id, kind, value, text);
  return true;
}

void LogerManager::onHotChange(int id, int kind, int64_t value, const char* text) {
  // Strings and file settings are read by writers under writeLock; change them under it too.
  ScopedLock hold(writeLock);
  LoggerInfo& info = loggers[id];
  switch (kind) {
    case LOG_CHANGE_ENABLE:
      info.enable = value != 0;
      break;
    case LOG_CHANGE_NAME:
      info.name = text != nullptr ? text : "";
      break;
    case LOG_CHANGE_PATH:
      info.path = text != nullptr ? text : "";
      break;
    case LOG_CHANGE_LEVEL:
      info.level = static_cast<int32_t>(value);
      break;
    case LOG_CHANGE_FILELINE:
      info.fileline = value != 0;
      break;
    case LOG_CHANGE_DISPLAY:
      info.display = value != 0;
      break;
    case LOG_CHANGE_OUTFILE:
      info.outfile = value != 0;
      break;
    case LOG_CHANGE_LIMITSIZE:
      info.limitsize = static_cast<uint32_t>(value);
      break;
    case LOG_CHANGE_MONTHDIR:
      info.monthdir = value != 0;
      break;
    case LOG_CHANGE_RESERVE:
      info.reserve = value > 0 ? value : 0;
      break;
    default:
      break;
  }
}

bool LogerManager::enableLogger(int id, bool on) {
  if (!validId(id)) return false;
  if (on) {
    loggers[id].enable = true;
    return true;
  }
  return hotChange(id, LOG_CHANGE_ENABLE, 0, nullptr);
}

bool LogerManager::setLoggerName(int id, const char* name) {
  if (!validId(id) || name == nullptr) return false;
  if (*name == '\0') return true;
  return hotChange(id, LOG_CHANGE_NAME, 0, name);
}

bool LogerManager::setLoggerPath(int id, const char* path) {
  if (!validId(id) || path == nullptr) return false;
  if (*path == '\0') return true;
  std::string dir = path;
  if (dir.back() != '/' && dir.back() != '\\') dir.push_back('/');
  return hotChange(id, LOG_CHANGE_PATH, 0, dir.c_str());
}

bool LogerManager::setLoggerLevel(int id, int level) {
  if (!validId(id)) return false;
  if (level <= loggers[id].level) {
    loggers[id].level = level;
    return true;
  }
  return hotChange(id, LOG_CHANGE_LEVEL, level, nullptr);
}

bool LogerManager::setLoggerFileLine(int id, bool on) {
  return hotChange(id, LOG_CHANGE_FILELINE, on, nullptr);
}

bool LogerManager::setLoggerDisplay(int id, bool on) {
  return hotChange(id, LOG_CHANGE_DISPLAY, on, nullptr);
}

bool LogerManager::setLoggerOutFile(int id, bool on) {
  return hotChange(id, LOG_CHANGE_OUTFILE, on, nullptr);
}

bool LogerManager::setLoggerLimitsize(int id, unsigned int megabytes) {
  const uint32_t limit = megabytes == 0 ? std::numeric_limits<uint32_t>::max() : megabytes;
  return hotChange(id, LOG_CHANGE_LIMITSIZE, limit, nullptr);
}

bool LogerManager::setLoggerMonthdir(int id, bool on) {
  return hotChange(id, LOG_CHANGE_MONTHDIR, on, nullptr);
}

bool LogerManager::setLoggerReserveTime(int id, int64_t seconds) {
  return hotChange(id, LOG_CHANGE_RESERVE, seconds, nullptr);
}

bool LogerManager::isLoggerEnable(int id) { return validId(id) && loggers[id].enable; }

unsigned long long LogerManager::getStatusTotalWriteCount() { return totalWriteCount.load(); }
unsigned long long LogerManager::getStatusTotalWriteBytes() { return totalWriteBytes.load(); }
unsigned long long LogerManager::getStatusTotalPushQueue() { return totalPushQueue.load(); }
unsigned long long LogerManager::getStatusTotalPopQueue() { return totalPopQueue.load(); }

int LogerManager::getStatusActiveLoggers() {
  int active = 0;
  const int32_t last = lastId.load();
  for (int id = 0; id <= last; ++id) {
    if (loggers[id].enable) ++active;
  }
  return active;
}

bool LogerManager::getLoggerSettings(int id, Settings* out) {
  if (!validId(id) || out == nullptr) return false;
  ScopedLock hold(writeLock);
  const LoggerInfo& info = loggers[id];
  *out = Settings{info.key,      info.name,      info.path,     info.level,
                  info.display,  info.outfile,   info.monthdir, info.enable,
                  info.fileline, info.limitsize, info.reserve,  info.fileIndex};
  return true;
}

}  // namespace vanta
}  // namespace quorvel
