// Test support (header only): reads trace records ("YYYYMMDD HH:MM:SS.mmm [tid] LOG_LEVEL
// message file.cpp:line" + CR LF), picking one process's records from the shared
// /tmp/qztspl.log by thread id, so other tests appending meanwhile do not disturb the reading.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/filter_runner.h"

namespace quorvel::test {

constexpr const char* kTracePath = "/tmp/qztspl.log";

// The message texts, without source position, of the records in `text` of thread `tid` (any
// when negative) at a level starting with `level`.
inline std::vector<std::string> TraceMessages(const std::string& text, int tid,
                                              const std::string& level) {
  // The writer pads thread ids to four digits ("[0123]").
  std::string thread = tid < 0 ? "" : std::to_string(tid);
  if (!thread.empty())
    thread = "[" + std::string(thread.size() < 4 ? 4 - thread.size() : 0, '0') + thread + "]";
  std::vector<std::string> messages;
  for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
    // The thread id follows the 21 characters of date and time and a space.
    const size_t lvl = text.find("] ", pos + 22);
    if (lvl >= end || text.compare(lvl + 2, level.size(), level) != 0) continue;
    if (!thread.empty() && text.compare(pos + 22, thread.size(), thread) != 0) continue;
    const size_t start = text.find(' ', lvl + 2);
    if (start >= end) continue;
    std::string message = text.substr(start + 1, end - start - 1);
    // The source position " name.cpp:123" ends the record when the logger adds it.
    const size_t space = message.rfind(' '), colon = message.rfind(':');
    if (space != std::string::npos && colon > space && colon + 1 < message.size() &&
        message.find('.', space) < colon &&
        message.find_first_not_of("0123456789", colon + 1) == std::string::npos)
      message.resize(space);
    messages.push_back(std::move(message));
  }
  return messages;
}

class TraceLog {
 public:
  TraceLog() {  // only records appended from now on are read
    struct stat st;
    if (stat(kTracePath, &st) != 0) return;
    start_ = size_t(st.st_size);
    inode_ = st.st_ino;
  }

  // A process's main thread id is its pid, so RunResult::pid selects the filter's records.
  std::vector<std::string> Messages(int tid) const {
    // A job's start may have moved a full trace aside to ".1" meanwhile: the earlier records
    // are there, the later ones in a fresh file.
    struct stat st;
    const bool moved = inode_ != 0 && stat(kTracePath, &st) == 0 && st.st_ino != inode_;
    std::string text = ReadFile(moved ? kTracePath + std::string(".1") : kTracePath);
    text.erase(0, text.size() >= start_ ? start_ : 0);  // a shorter file was started afresh
    if (moved) text += ReadFile(kTracePath);
    return TraceMessages(text, tid, "LOG_");
  }

 private:
  size_t start_ = 0;
  ino_t inode_ = 0;
};

}  // namespace quorvel::test
