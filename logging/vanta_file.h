// The log manager's file wrapper: safe append opening of files shared by every user, the
// durable or fast close after every record, whole-file reading for configuration files,
// directory creation, and the size bound of a shared trace file.
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
  // refused, so a name planted in a shared directory cannot redirect the trace. An existing
  // file is opened without O_CREAT (which fs.protected_regular refuses for another user's
  // file in a sticky directory); a new one is created readable and writable by everyone
  // whatever the umask, because filters of every user (root, lp) append to the same trace.
  // On success `sizeOut` receives the current length of the file.
  bool openAppend(const std::string& path, uint32_t* sizeOut);
  // Opens `path` for reading ("rb").
  bool openRead(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  FILE* get() const { return file_; }

  // Durable close (flush, fsync, drop the pages from the cache, fsync again, fclose), or
  // with `durable` false only flush and fclose: the record survives the process, not a crash
  // of the machine.
  void close(bool durable = true);
  // Reads the open file to its end in chunks of 8192 bytes.
  std::string readContent();

 private:
  FILE* file_ = nullptr;
};

// Creates every missing component of `dir` with mode 0777 (under the umask); '\' counts as '/'.
// Stops at the first mkdir that fails.
void createDirectories(const std::string& dir);

// Keeps a trace file shared by many users bounded. When the regular file at `path` is larger
// than `limitBytes`, it is moved to `path` + ".1" (replacing the older one); when the
// directory refuses the move (a sticky /tmp and a file of another user) the file is emptied
// in place instead. Links and other kinds of file are left alone; so is a file that another
// process is already bounding. Returns true when the file was moved or emptied.
bool boundSharedFile(const std::string& path, uint64_t limitBytes);

}  // namespace vanta
}  // namespace quorvel
