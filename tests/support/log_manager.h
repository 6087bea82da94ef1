// Shared helpers of the logging tests: a private log manager writing into a temporary
// directory (the test-support TempDir), its settings, and a log file split into records.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "logging/loger_manager.h"
#include "tests/support/filter_runner.h"

namespace quorvel {
namespace vanta {
namespace testing_support {

using quorvel::test::ReadFile;
using quorvel::test::TempDir;

// Splits at CR LF; a trailing fragment without it is returned as a record of its own.
inline std::vector<std::string> splitRecords(const std::string& text) {
  std::vector<std::string> records;
  for (size_t begin = 0; begin < text.size();) {
    const size_t end = text.find("\r\n", begin);
    records.push_back(text.substr(begin, end == std::string::npos ? end : end - begin));
    begin = end == std::string::npos ? text.size() : end + 2;
  }
  return records;
}

// A private manager whose logger 0 writes "<dir>/<name>.log".
inline std::unique_ptr<LogerManager> makeManager(const TempDir& dir, const char* name = "trace") {
  auto manager = std::make_unique<LogerManager>();
  manager->setLoggerPath(0, dir.path().c_str());
  manager->setLoggerName(0, name);
  return manager;
}

inline LogerManager::Settings settingsOf(LogerManager& manager, int id) {
  LogerManager::Settings settings{};
  EXPECT_TRUE(manager.getLoggerSettings(id, &settings));
  return settings;
}

inline void logLine(LogerManager& manager, const char* text) {
  logPrintfTo(&manager, 0, LOG_LEVEL_INFO, "file.cpp", 1, "%s", text);
}

}  // namespace testing_support
}  // namespace vanta
}  // namespace quorvel
