// Test support: parsing of trace records appended to the filter's log file. A record is
// "YYYYMMDD HH:MM:SS.mmm [tid] LOG_LEVEL message file.cpp:line" + CR LF.
#include "tests/support/trace_log.h"

#include <sys/stat.h>

#include <cstdlib>

#include "tests/support/filter_runner.h"

namespace quorvel::test {

TraceLog::TraceLog(std::string path) : path_(std::move(path)) {
  struct stat st;
  if (stat(path_.c_str(), &st) == 0) {
    start_ = size_t(st.st_size);
    inode_ = static_cast<unsigned long>(st.st_ino);
  }
}

std::vector<std::string> TraceLog::Messages(int tid) const {
  // Another job's start may have moved a full trace aside to ".1" since construction: the
  // records appended before the move are in that file, the later ones in a fresh one. A
  // file removed and started again is read from its start.
  struct stat st;
  const bool moved = inode_ != 0 && stat(path_.c_str(), &st) == 0 &&
                     static_cast<unsigned long>(st.st_ino) != inode_;
  std::string text = moved ? ReadFile(path_ + ".1") : ReadFile(path_);
  text.erase(0, text.size() >= start_ ? start_ : 0);
  if (moved) text += ReadFile(path_);
  const std::string mark = " [" + std::to_string(tid) + "] LOG_";
  std::vector<std::string> messages;
  for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
    // The mark follows the 21 characters of date and time.
    if (text.compare(pos + 21, mark.size(), mark) != 0) continue;  // another thread's record
    const size_t level = text.find(' ', pos + 21 + mark.size());
    if (level >= end) continue;
    std::string message = text.substr(level + 1, end - level - 1);
    // Drop the source position " name.cpp:123" that every record of logger 0 carries.
    const size_t space = message.rfind(' '), colon = message.rfind(':');
    if (space != std::string::npos && colon > space && colon + 1 < message.size() &&
        message.find_first_not_of("0123456789", colon + 1) == std::string::npos)
      message.resize(space);
    messages.push_back(std::move(message));
  }
  return messages;
}

}  // namespace quorvel::test
