// Test support: parsing of trace records appended to the filter's log file.
#include "tests/support/trace_log.h"

#include <sys/stat.h>

#include <cctype>
#include <fstream>

namespace quorvel::test {
namespace {

// " name:123" at the end of a record: the source position that every record of logger 0
// carries.
bool SplitSource(std::string* message, std::string* source) {
  const size_t space = message->rfind(' ');
  if (space == std::string::npos) return false;
  const std::string tail = message->substr(space + 1);
  const size_t colon = tail.rfind(':');
  if (colon == std::string::npos || colon + 1 == tail.size()) return false;
  for (size_t i = colon + 1; i < tail.size(); ++i)
    if (!isdigit(static_cast<unsigned char>(tail[i]))) return false;
  *source = tail;
  message->resize(space);
  return true;
}

bool Digits(const std::string& s, size_t from, size_t count) {
  if (from + count > s.size()) return false;
  for (size_t i = from; i < from + count; ++i)
    if (!isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// "YYYYMMDD HH:MM:SS.mmm [tid] LOG_LEVEL " then the message and the source position.
bool ParseHead(const std::string& line, TraceRecord* r) {
  if (!Digits(line, 0, 8) || line.compare(8, 1, " ") != 0 || !Digits(line, 9, 2) ||
      line.compare(11, 1, ":") != 0 || !Digits(line, 12, 2) || line.compare(14, 1, ":") != 0 ||
      !Digits(line, 15, 2) || line.compare(17, 1, ".") != 0 || !Digits(line, 18, 3) ||
      line.compare(21, 2, " [") != 0)
    return false;
  const size_t close = line.find("] ", 23);
  if (close == std::string::npos || close < 27 || !Digits(line, 23, close - 23)) return false;
  const size_t levelEnd = line.find(' ', close + 2);
  if (levelEnd == std::string::npos || line.compare(close + 2, 4, "LOG_") != 0) return false;
  r->tid = std::stoi(line.substr(23, close - 23));
  r->level = line.substr(close + 2, levelEnd - close - 2);
  r->message = line.substr(levelEnd + 1);
  SplitSource(&r->message, &r->source);
  return true;
}

}  // namespace

std::vector<TraceRecord> ParseTrace(const std::string& text) {
  std::vector<TraceRecord> records;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) break;  // a record still being written
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    TraceRecord r;
    if (ParseHead(line, &r)) records.push_back(std::move(r));
  }
  return records;
}

TraceLog::TraceLog(std::string path) : path_(std::move(path)) {
  struct stat st;
  if (stat(path_.c_str(), &st) == 0) start_ = size_t(st.st_size);
}

std::vector<TraceRecord> TraceLog::Records(int tid) const {
  // A log file that was removed and started again since construction is read from its start.
  struct stat st;
  const size_t from = stat(path_.c_str(), &st) == 0 && size_t(st.st_size) >= start_ ? start_ : 0;
  std::ifstream f(path_, std::ios::binary);
  f.seekg(std::streamoff(from));
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<TraceRecord> mine;
  for (TraceRecord& r : ParseTrace(text))
    if (r.tid == tid) mine.push_back(std::move(r));
  return mine;
}

std::vector<std::string> TraceLog::Messages(int tid) const {
  std::vector<std::string> messages;
  for (TraceRecord& r : Records(tid)) messages.push_back(std::move(r.message));
  return messages;
}

int FindMessage(const std::vector<std::string>& messages, const std::string& text, int from) {
  for (size_t i = size_t(from < 0 ? 0 : from); i < messages.size(); ++i)
    if (messages[i] == text) return int(i);
  return -1;
}

}  // namespace quorvel::test
