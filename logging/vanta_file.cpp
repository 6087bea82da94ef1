// File handling of the log manager: the append open that refuses links and non-regular files,
// the durable close, configuration reading and component-wise directory creation.
#include "logging/vanta_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {
namespace vanta {

bool VantaFileHandler::openAppend(const std::string& path, uint32_t* sizeOut) {
  close();
  // O_NONBLOCK keeps a FIFO planted at the path from blocking the open; it is cleared again
  // once the file is known to be a regular file.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                  0644);
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

void VantaFileHandler::close() {
  if (file_ == nullptr) return;
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

}  // namespace vanta
}  // namespace quorvel
