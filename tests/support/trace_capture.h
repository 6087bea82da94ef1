// Test support for tests linked with the logging library: points logger 0 at a private file
// (started once per process) and reads back the DEBUG record texts written since a capture
// began. Header only, so the support library itself need not link the logger.
#pragma once

#include <string>
#include <vector>

#include "logging/vanta.h"
#include "tests/support/filter_runner.h"

namespace quorvel::test {

class TraceCapture {
 public:
  TraceCapture() {
    static TempDir dir;
    static const bool started = Start(dir.path());
    started_ = started;
    path_ = dir.file("trace.log");
    offset_ = ReadFile(path_).size();
  }

  bool started() const { return started_; }

  // The message texts of the LOG_DEBUG records appended since construction.
  std::vector<std::string> Messages() const {
    const std::string text = ReadFile(path_).substr(offset_);
    const std::string marker = " LOG_DEBUG ";
    std::vector<std::string> messages;
    for (size_t pos = 0; pos < text.size();) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      const size_t at = text.find(marker, pos);
      if (at < end) messages.push_back(text.substr(at + marker.size(), end - at - marker.size()));
      pos = end + 2;
    }
    return messages;
  }

 private:
  static bool Start(const std::string& dir) {
    auto* manager = quorvel::vanta::IVantaManager::getInstance();
    manager->setLoggerPath(0, dir.c_str());
    manager->setLoggerName(0, "trace");
    manager->setLoggerFileLine(0, false);
    return manager->start();
  }

  bool started_ = false;
  std::string path_;
  size_t offset_ = 0;
};

}  // namespace quorvel::test
