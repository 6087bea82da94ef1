// Test support: reads trace records ("YYYYMMDD HH:MM:SS.mmm [tid] LOG_LEVEL message
// file.cpp:line" + CR LF). TraceLog picks one process's records from the shared /tmp/qztspl.log
// by the thread id, so other tests appending meanwhile do not disturb the reading.
#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

constexpr const char* kTracePath = "/tmp/qztspl.log";

// The message texts of the records in `text` of thread `tid` (any thread when negative) at a
// level starting with `level`, without the source position.
std::vector<std::string> TraceMessages(const std::string& text, int tid, const std::string& level);

class TraceLog {
 public:
  // Only records appended after construction are read.
  explicit TraceLog(std::string path = kTracePath);
  // A process's main thread id is its pid, so RunResult::pid selects the filter's records.
  std::vector<std::string> Messages(int tid) const;

 private:
  std::string path_;
  size_t start_ = 0;
  unsigned long inode_ = 0;
};

}  // namespace quorvel::test
