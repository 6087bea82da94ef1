// Helpers shared by the fuzz targets (see fuzz_support.h).
#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "logging/vanta.h"

namespace quorvel::fuzz {

MemFile::MemFile(const uint8_t* data, size_t size) {
  fd_ = memfd_create("quorvel::fuzz", MFD_CLOEXEC);
  if (fd_ < 0) return;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd_, data + done, size - done);
    if (n <= 0) {
      close(fd_);
      fd_ = -1;
      return;
    }
    done += size_t(n);
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemFile::~MemFile() {
  if (fd_ >= 0) close(fd_);
}

void QuietTrace() {
  static bool done = false;
  if (done) return;
  done = true;
  quorvel::vanta::IVantaManager* log = quorvel::vanta::IVantaManager::getInstance();
  log->setLoggerOutFile(0, false);
  log->start();
}

void DiscardStdout() {
  static bool done = false;
  if (done) return;
  done = true;
  const int null = open("/dev/null", O_WRONLY);
  if (null < 0) return;
  fflush(stdout);
  dup2(null, STDOUT_FILENO);
  close(null);
}

}  // namespace quorvel::fuzz
