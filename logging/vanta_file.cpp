// File handling of the log manager: the append open that refuses links and non-regular files,
// the durable or fast close, configuration reading, component-wise directory creation and
// the size bound of a shared trace file.
#include "logging/vanta_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {
namespace vanta {

namespace {

constexpr mode_t kSharedFileMode = 0666;

// O_NONBLOCK keeps a FIFO planted at the path from blocking the open; it is cleared again once
// the file is known to be a regular file.
constexpr int kAppendFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// An existing file is opened without O_CREAT; only a missing one is created, exclusively (so
// a link planted meanwhile is not followed either), and given its mode whatever the umask.
int openShared(const std::string& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = ::open(path.c_str(), kAppendFlags);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = ::open(path.c_str(), kAppendFlags | O_CREAT | O_EXCL, kSharedFileMode);
    if (fd >= 0) {
      fchmod(fd, kSharedFileMode);
      return fd;
    }
    if (errno != EEXIST) return -1;  // else another process created it first: open that one
  }
  return -1;
}

}  // namespace

bool VantaFileHandler::openAppend(const std::string& path, uint32_t* sizeOut) {
  close();
  int fd = openShared(path);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  file_ = fdopen(fd, "ab");
  if (file_ == nullptr) {
    ::close(fd);
    return false;
  }
  if (sizeOut != nullptr) *sizeOut = static_cast<uint32_t>(st.st_size);
  return true;
}

bool VantaFileHandler::openRead(const std::string& path) {
  close();
  file_ = fopen(path.c_str(), "rb");
  return file_ != nullptr;
}

void VantaFileHandler::close(bool durable) {
  if (file_ == nullptr) return;
  if (!durable) {
    fclose(file_);
    file_ = nullptr;
    return;
  }
  // The flush puts the stdio buffer into the file before fsync, so the sync covers the record.
  fflush(file_);
  int fd = fileno(file_);
  fsync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  fsync(fd);
  fclose(file_);
  file_ = nullptr;
}

std::string VantaFileHandler::readContent() {
  std::string content;
  if (file_ == nullptr) return content;
  char chunk[8192];
  for (;;) {
    size_t got = fread(chunk, 1, sizeof(chunk), file_);
    content.append(chunk, got);
    if (got < sizeof(chunk)) break;
  }
  return content;
}

namespace {
bool directoryExists(const std::string& dir) {
  DIR* handle = opendir(dir.c_str());
  if (handle == nullptr) return false;
  closedir(handle);
  return true;
}

bool pathExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
}  // namespace

void createDirectories(const std::string& dir) {
  if (directoryExists(dir)) return;
  std::string work = dir;
  for (char& c : work) {
    if (c == '\\') c = '/';
  }
  if (work.empty() || work.back() != '/') work.push_back('/');
  for (size_t pos = work.find('/'); pos != std::string::npos; pos = work.find('/', pos + 1)) {
    if (pos == 0) continue;  // the root needs no creation
    std::string prefix = work.substr(0, pos);
    if (pathExists(prefix)) continue;
    if (mkdir(prefix.c_str(), 0777) != 0) return;
  }
}

bool boundSharedFile(const std::string& path, uint64_t limitBytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  bool bounded = false;
  struct stat st, named;
  // The lock keeps two jobs that start together from both moving the file; a job that finds
  // it held leaves the bounding to the other. The second look at the name makes sure the
  // file is still the one there, not one the other job has already moved away.
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) > limitBytes &&
      flock(fd, LOCK_EX | LOCK_NB) == 0 && lstat(path.c_str(), &named) == 0 &&
      named.st_ino == st.st_ino && named.st_dev == st.st_dev) {
    const std::string older = path + ".1";
    bounded = rename(path.c_str(), older.c_str()) == 0 || ftruncate(fd, 0) == 0;
  }
  ::close(fd);
  return bounded;
}

}  // namespace vanta
}  // namespace quorvel
