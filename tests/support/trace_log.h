// Test support: reads the trace records a filter process appended to its log file
// (/tmp/qztspl.log), picking one process's records by the thread id in each record header,
// so runs of other tests appending at the same time do not disturb the reading.
#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

constexpr const char* kTracePath = "/tmp/qztspl.log";

// One record: "YYYYMMDD HH:MM:SS.mmm [tid] LOG_LEVEL message file.cpp:line" + CR LF.
struct TraceRecord {
  int tid = 0;
  std::string level;    // "LOG_DEBUG", ...
  std::string message;  // the text between the level and the source position
  std::string source;   // "file.cpp:123", or empty when the record has none
};

// Splits the log text into records (CR LF separated); lines that do not parse are skipped.
std::vector<TraceRecord> ParseTrace(const std::string& text);

class TraceLog {
 public:
  // Remembers how long the file is now; only records appended later are read.
  explicit TraceLog(std::string path = kTracePath);
  // Records appended since construction by thread `tid` (a process's main thread id is its
  // pid, so RunResult::pid selects the filter's main-thread records).
  std::vector<TraceRecord> Records(int tid) const;
  std::vector<std::string> Messages(int tid) const;  // the message texts of Records(tid)

 private:
  std::string path_;
  size_t start_ = 0;
};

// Index of the first message equal to `text` at or after `from`, or -1.
int FindMessage(const std::vector<std::string>& messages, const std::string& text, int from = 0);

}  // namespace quorvel::test
