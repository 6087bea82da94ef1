// Fuzz target: the logger configuration text (configFromString on a private log manager,
// which is never started, so no file is written), then every slot it made is read back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "logging/config_parser.h"
#include "logging/loger_manager.h"

using quorvel::vanta::LogerManager;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  quorvel::vanta::ConfigSections sections;
  quorvel::vanta::parseConfigText(text, &sections);

  LogerManager manager;
  manager.configFromString(text.c_str());
  manager.configFromString(text.c_str());  // unchanged text: the checksum path
  const int active = manager.getStatusActiveLoggers();
  if (active < 0 || active > quorvel::vanta::kMaxLoggers) abort();
  for (int id = 0; id < quorvel::vanta::kMaxLoggers; ++id) {
    LogerManager::Settings settings;
    if (!manager.getLoggerSettings(id, &settings)) break;
    if (manager.findLogger(settings.key.c_str()) != id) abort();  // keys stay unique
  }
  return 0;
}
