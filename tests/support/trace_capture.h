// Test support for tests linked with the logging library: points logger 0 at a private file
// (started once per process) and reads back the DEBUG record texts written since a capture
// began. Header only, so the support library itself need not link the logger.
#pragma once

#include "logging/vanta.h"
#include "tests/support/filter_runner.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {

class TraceCapture {
 public:
  TraceCapture() {
    static TempDir dir;
    static const bool started = [] {
      auto* manager = quorvel::vanta::IVantaManager::getInstance();
      manager->setLoggerPath(0, dir.path().c_str());
      manager->setLoggerName(0, "trace");
      manager->setLoggerFileLine(0, false);
      return manager->start();
    }();
    started_ = started;
    path_ = dir.file("trace.log");
    offset_ = ReadFile(path_).size();
  }

  bool started() const { return started_; }

  // The message texts of the LOG_DEBUG records appended since construction.
  std::vector<std::string> Messages() const {
    return TraceMessages(ReadFile(path_).substr(offset_), -1, "LOG_DEBUG ");
  }

 private:
  bool started_;
  std::string path_;
  size_t offset_;
};

}  // namespace quorvel::test
