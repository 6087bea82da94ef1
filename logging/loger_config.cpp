// Loading logger settings from configuration text or a configuration file, with a byte-sum
// check so that re-reading an unchanged file changes nothing.
#include <string>

#include "logging/config_parser.h"
#include "logging/loger_manager.h"

namespace quorvel {
namespace vanta {

bool LogerManager::config(const char* path) {
  if (path == nullptr) return false;
  ScopedLock hold(configLock);
  if (!configPath.empty()) return false;
  configPath = path;
  VantaFileHandler file;
  if (!file.openRead(configPath)) return false;
  const std::string text = file.readContent();
  const bool applied = applyConfigText(text, false);
  file.close();
  return applied;
}

bool LogerManager::configFromString(const char* text) {
  if (text == nullptr) return false;
  ScopedLock hold(configLock);
  return applyConfigText(text, false);
}

bool LogerManager::updateConfig() {
  ScopedLock hold(configLock);
  if (configPath.empty()) return false;
  VantaFileHandler file;
  if (!file.openRead(configPath)) return false;
  const std::string text = file.readContent();
  file.close();
  return applyConfigText(text, true);
}

bool LogerManager::setAutoUpdate(int seconds) {
  autoUpdateInterval.store(seconds);
  return true;
}

// Called under configLock.
bool LogerManager::applyConfigText(const std::string& text, bool onlyReload) {
  const uint32_t sum = configChecksum(text);
  if (sum == checksum) return true;
  checksum = sum;
  ConfigSections sections;
  parseConfigText(text, &sections);
  for (const auto& entry : sections) {
    int id = findLogger(entry.first.c_str());
    if (id == -1) {
      if (onlyReload) continue;
      id = createLogger(entry.first.c_str());
      if (id == -1) continue;
    }
    const LoggerInfo& info = entry.second;
    enableLogger(id, info.enable);
    setLoggerName(id, info.name.c_str());
    setLoggerPath(id, info.path.c_str());
    setLoggerLevel(id, info.level);
    setLoggerFileLine(id, info.fileline);
    setLoggerDisplay(id, info.display);
    setLoggerOutFile(id, info.outfile);
    setLoggerLimitsize(id, info.limitsize);
    setLoggerMonthdir(id, info.monthdir);
  }
  return true;
}

}  // namespace vanta
}  // namespace quorvel
