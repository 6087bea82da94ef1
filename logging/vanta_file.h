// The log manager's file wrapper: safe append opening, the durable close that keeps the trace
// on disk after every record, whole-file reading for configuration files, and directory creation.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvel {
namespace vanta {

class VantaFileHandler {
 public:
  VantaFileHandler() = default;
  VantaFileHandler(const VantaFileHandler&) = delete;
  VantaFileHandler& operator=(const VantaFileHandler&) = delete;
  ~VantaFileHandler() { close(); }

  // Opens `path` for appending. A symbolic link or anything that is not a regular file is
  // refused, so a name planted in a shared directory cannot redirect the trace. On success
  // `sizeOut` receives the current length of the file.
  bool openAppend(const std::string& path, uint32_t* sizeOut);
  // Opens `path` for reading ("rb").
  bool openRead(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  FILE* get() const { return file_; }

  // Durable close: flush, fsync, drop the pages from the cache, fsync again, fclose.
  void close();
  // Reads the open file to its end in chunks of 8192 bytes.
  std::string readContent();

 private:
  FILE* file_ = nullptr;
};

// Creates every missing component of `dir` with mode 0777 (under the umask); '\' counts as '/'.
// Stops at the first mkdir that fails.
void createDirectories(const std::string& dir);

}  // namespace vanta
}  // namespace quorvel
