// Helpers shared by the fuzz targets: an in-memory file with a path that libcups can open,
// and a trace that formats every record but writes none (fuzzing must not fill /tmp).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "logging/vanta.h"

namespace quorvel::fuzz {

// The bytes as an anonymous in-memory file (memfd), reachable through path.
struct MemFile {
  MemFile(const uint8_t* data, size_t size) {
    if (fd >= 0 && size && write(fd, data, size) != ssize_t(size)) {  // short write: unusable
      close(fd);
      fd = -1;
    }
  }
  ~MemFile() {
    if (fd >= 0) close(fd);
  }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;
  bool ok() const { return fd >= 0; }
  int fd = memfd_create("quorvel::fuzz", MFD_CLOEXEC);
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
};

// Starts the process-wide trace with file output switched off; once per process.
inline void QuietTrace() {
  static bool started = false;
  if (started) return;
  started = true;
  quorvel::vanta::IVantaManager* log = quorvel::vanta::IVantaManager::getInstance();
  log->setLoggerOutFile(0, false);
  log->start();
}

}  // namespace quorvel::fuzz
