// Shared helpers of the logging tests: a unique temporary directory, whole-file reading, and a
// private log manager pointed at such a directory.
#pragma once

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "logging/loger_manager.h"

namespace quorvel {
namespace vanta {
namespace testing_support {

// A fresh directory under /tmp, removed with its content at the end of the test.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/qev_logging_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made != nullptr) path_ = made;
  }
  ~TempDir() {
    if (!path_.empty()) {
      nftw(
          path_.c_str(),
          [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
          FTW_DEPTH | FTW_PHYS);
    }
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline bool readFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *out = content.str();
  return true;
}

inline std::string readFileOrEmpty(const std::string& path) {
  std::string content;
  readFile(path, &content);
  return content;
}

// Splits at CR LF; every record must end with it, so a trailing fragment is returned as well.
inline std::vector<std::string> splitRecords(const std::string& text) {
  std::vector<std::string> records;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find("\r\n", begin);
    if (end == std::string::npos) {
      records.push_back(text.substr(begin));
      break;
    }
    records.push_back(text.substr(begin, end - begin));
    begin = end + 2;
  }
  return records;
}

// A private manager whose logger 0 writes "<dir>/trace.log".
inline std::unique_ptr<LogerManager> makeManager(const TempDir& dir) {
  auto manager = std::make_unique<LogerManager>();
  manager->setLoggerPath(0, dir.path().c_str());
  manager->setLoggerName(0, "trace");
  return manager;
}

}  // namespace testing_support
}  // namespace vanta
}  // namespace quorvel
