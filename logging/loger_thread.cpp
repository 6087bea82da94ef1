// The log manager's background thread: it switches logging on, writes the start banner and one
// line per active logger, then closes the files of disabled loggers every 50 ms until stop.
#include <time.h>

#include <string>

#include "logging/loger_manager.h"

namespace quorvel {
namespace vanta {
bool LogerManager::start() {
  if (running.load() || isStarted()) return false;
  startSem.create(0);
  if (!ThreadHelper::start()) return false;
  return startSem.wait(kStartTimeoutMs);
}

bool LogerManager::stop() {
  if (!running.load()) return false;
  // Wake the thread from its housekeeping pause instead of letting the pause run out.
  stopWake.clearAndWake(running);
  wait();
  freePool();
  return true;
}

void LogerManager::closeFile(int id) {
  ScopedLock hold(writeLock);
  loggers[id].file.close();
}

void LogerManager::logLoggerSummary(int id) {
  std::string key, name, path;
  int32_t level;
  bool display;
  {
    ScopedLock hold(writeLock);
    const LoggerInfo& info = loggers[id];
    key = info.key;
    name = info.name;
    path = info.path;
    level = info.level;
    display = info.display;
  }
  logPrintfTo(this, 0, LOG_LEVEL_ALARM, __FILE__, __LINE__,
              "logger id=%d key=%s name=%s path=%s level=%d display=%s", id, key.c_str(),
              name.c_str(), path.c_str(), level, display ? "true" : "false");
}

void LogerManager::run() {
  running.store(true);
  logPrintfTo(this, 0, LOG_LEVEL_ALARM, __FILE__, __LINE__,
              "-----------------  vanta thread started!   ----------------------------");
  for (int id = 0; id <= lastId.load(); ++id) {
    if (loggers[id].enable) logLoggerSummary(id);
  }
  startSem.post();

  time_t lastUpdate = time(nullptr);
  for (;;) {
    for (int id = 0; id <= lastId.load(); ++id) {
      if (!loggers[id].enable) closeFile(id);
    }
    stopWake.sleepUnless(kHousekeepingMs, running);
    if (!running.load()) {
      for (int id = 0; id <= lastId.load(); ++id) {
        if (!loggers[id].enable) continue;
        loggers[id].enable = false;
        closeFile(id);
      }
      return;
    }
    const int32_t interval = autoUpdateInterval.load();
    const time_t now = time(nullptr);
    if (interval != 0 && now - lastUpdate > interval) {
      updateConfig();
      lastUpdate = now;
    }
  }
}

}  // namespace vanta
}  // namespace quorvel
