// Test helpers shared by the settings and render tests: capture of what the code under test
// writes to standard output, and of the DEBUG trace records it writes through logger 0.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "logging/vanta.h"
#include "tests/support/filter_runner.h"

namespace qevtest {
namespace capture {

// Redirects standard output (descriptor 1) into a temporary file until Take() is called.
class StdoutCapture {
 public:
  StdoutCapture() {
    fflush(stdout);
    saved_ = dup(1);
    file_ = tmpfile();
    if (file_ != nullptr) dup2(fileno(file_), 1);
  }
  ~StdoutCapture() { Take(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // Restores standard output and returns every byte written meanwhile.
  std::string Take() {
    if (saved_ < 0) return text_;
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
    if (file_ != nullptr) {
      rewind(file_);
      char buf[4096];
      size_t n;
      while ((n = fread(buf, 1, sizeof buf, file_)) > 0) text_.append(buf, n);
      fclose(file_);
      file_ = nullptr;
    }
    return text_;
  }

 private:
  int saved_ = -1;
  FILE* file_ = nullptr;
  std::string text_;
};

// Points logger 0 at a private file and starts the log manager once per process; Messages()
// gives the texts of the DEBUG records written since the capture began.
class TraceCapture {
 public:
  TraceCapture() {
    static TempDir dir;
    static bool started = Start(dir.path());
    started_ = started;
    path_ = dir.file("trace.log");
    offset_ = ReadFile(path_).size();
  }

  bool started() const { return started_; }

  std::vector<std::string> Messages() const {
    std::string text = ReadFile(path_).substr(offset_);
    std::vector<std::string> messages;
    const std::string marker = " LOG_DEBUG ";
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      std::string record = text.substr(pos, end - pos);
      size_t at = record.find(marker);
      if (at != std::string::npos) messages.push_back(record.substr(at + marker.size()));
      pos = end + 2;
    }
    return messages;
  }

  // Only the messages that start with `prefix`.
  std::vector<std::string> Messages(const std::string& prefix) const {
    std::vector<std::string> picked;
    for (const std::string& m : Messages()) {
      if (m.compare(0, prefix.size(), prefix) == 0) picked.push_back(m);
    }
    return picked;
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

}  // namespace capture
}  // namespace qevtest
