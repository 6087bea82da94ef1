// Test support: reads trace records ("YYYYMMDD HH:MM:SS.mmm [tid] LOG_LEVEL message
// file.cpp:line" + CR LF), picking one process's records from the shared /tmp/qztspl.log by
// thread id, so other tests appending meanwhile do not disturb the reading.
#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

constexpr const char* kTracePath = "/tmp/qztspl.log";

// The message texts, without source position, of the records in `text` of thread `tid` (any
// when negative) at a level starting with `level`.
std::vector<std::string> TraceMessages(const std::string& text, int tid, const std::string& level);

class TraceLog {
 public:
  TraceLog();  // only records appended from now on are read
  // A process's main thread id is its pid, so RunResult::pid selects the filter's records.
  std::vector<std::string> Messages(int tid) const;

 private:
  size_t start_ = 0;
  unsigned long inode_ = 0;
};

}  // namespace quorvel::test
