// Helpers shared by the fuzz targets: an in-memory file with a path that libcups can open,
// and a trace that formats every record but writes none (fuzzing must not fill /tmp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel::fuzz {

// The bytes as an anonymous in-memory file (memfd), reachable through path().
class MemFile {
 public:
  MemFile(const uint8_t* data, size_t size);
  ~MemFile();
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;
  bool ok() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Starts the process-wide trace with file output switched off, once.
void QuietTrace();

// Sends standard output to /dev/null, once (the filter writes its TSPL there).
void DiscardStdout();

}  // namespace quorvel::fuzz
