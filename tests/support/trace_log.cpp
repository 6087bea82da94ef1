// Test support: parsing of trace records appended to the filter's log file. A record is
// "YYYYMMDD HH:MM:SS.mmm [tid] LOG_LEVEL message file.cpp:line" + CR LF.
#include "tests/support/trace_log.h"

#include <sys/stat.h>

#include <cstdlib>

#include "tests/support/filter_runner.h"

namespace quorvel::test {

TraceLog::TraceLog(std::string path) : path_(std::move(path)) {
  struct stat st;
  if (stat(path_.c_str(), &st) == 0) start_ = size_t(st.st_size);
}

std::vector<std::string> TraceLog::Messages(int tid) const {
  // A log file that was removed and started again since construction is read from its start.
  std::string text = ReadFile(path_);
  text.erase(0, text.size() >= start_ ? start_ : 0);
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
