// Test support: reads the trace records a filter process appended to its log file
// (/tmp/qztspl.log), picking one process's records by the thread id in each record header,
// so runs of other tests appending at the same time do not disturb the reading.
#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

constexpr const char* kTracePath = "/tmp/qztspl.log";

class TraceLog {
 public:
  // Remembers how long the file is now; only records appended later are read.
  explicit TraceLog(std::string path = kTracePath);
  // The message texts (between the level and the source position) of the records appended
  // since construction by thread `tid`: a process's main thread id is its pid, so
  // RunResult::pid selects the filter's main-thread records.
  std::vector<std::string> Messages(int tid) const;

 private:
  std::string path_;
  size_t start_ = 0;
  unsigned long inode_ = 0;
};

}  // namespace quorvel::test
