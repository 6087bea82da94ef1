// The plain-keyword lookup: scans the PPD file's text line by line with the PPD line syntax,
// for keywords such as "OutputDPI" that are not printer options and so have no PPD handle entry.
#include <cups/file.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "settings/ppd_lookup.h"

namespace {

constexpr size_t kLineGrowth = 1024;       // the line buffer starts at this size and grows by it
constexpr size_t kMaxLineBuffer = 262144;  // a logical line may not need a larger buffer
constexpr int kMaxPhysicalLine = 255;      // characters on one physical line
constexpr size_t kMaxName = 40;            // characters of a main or option keyword
constexpr size_t kMaxTranslation = 255;    // characters of a translation text
constexpr char kStopLine[] = "*%APLWORKSET START";

bool IsPpdSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsKeywordChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x21 && u <= 0x7E;
}

struct CupsFileCloser {
  void operator()(cups_file_t* fp) const { cupsFileClose(fp); }
};
using CupsFilePtr = std::unique_ptr<cups_file_t, CupsFileCloser>;

// Reads one logical line: physical lines joined while a quoted value is open, blank lines
// skipped, 0x1A dropped. False when the line breaks a length limit (the scan stops).
bool ReadLogicalLine(cups_file_t* fp, std::string& line, bool& atEof) {
  line.clear();
  atEof = false;
  size_t capacity = kLineGrowth;
  bool hasValue = false;
  bool quoted = false;
  int column = 0;
  for (;;) {
    int ch = cupsFileGetChar(fp);
    if (ch == EOF) {
      atEof = true;
      break;
    }
    if (line.size() >= capacity - 1) {  // full, keeping room for the terminating zero
      capacity += kLineGrowth;
      if (capacity > kMaxLineBuffer) return false;
    }
    if (ch == '\r' || ch == '\n') {
      column = 0;
      if (ch == '\r' && cupsFilePeekChar(fp) == '\n') cupsFileGetChar(fp);
      if (line.empty()) continue;
      if (quoted) {
        line.push_back('\n');
        continue;
      }
      break;
    }
    if (ch == 0x1A) continue;
    line.push_back(static_cast<char>(ch));
    if (++column > kMaxPhysicalLine) return false;
    if (ch == ':' && line.compare(0, 2, "*%") != 0) hasValue = true;
    if (ch == '"' && hasValue) quoted = !quoted;
  }
  if (!line.empty() && line.back() == '\n') line.pop_back();
  // The line is a C string for the rest of the syntax: a NUL byte ends it.
  size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  return true;
}

enum class LineKind { kSkip, kValue, kStop };

bool IsSkippedLine(const std::string& line) {
  if (line.empty() || line.compare(0, 2, "*%") == 0 || line == "*End" || line == "*") return true;
  return false;
}

// Splits one logical line into its main keyword and value (PPD main-keyword syntax).
LineKind ParseLine(const std::string& line, std::string& keyword, std::string& value) {
  if (IsSkippedLine(line)) return LineKind::kSkip;
  if (line[0] != '*') {
    return std::all_of(line.begin(), line.end(), IsPpdSpace) ? LineKind::kSkip : LineKind::kStop;
  }
  size_t pos = 1;
  const size_t n = line.size();
  keyword.clear();
  while (pos < n && line[pos] != ':' && !IsPpdSpace(line[pos])) {
    if (!IsKeywordChar(line[pos]) || line[pos] == '/' || keyword.size() >= kMaxName) {
      return LineKind::kStop;
    }
    keyword.push_back(line[pos++]);
  }
  if (keyword == "End") return LineKind::kSkip;

  if (pos < n && IsPpdSpace(line[pos])) {
    // An option keyword and its translation are checked but not used.
    while (pos < n && IsPpdSpace(line[pos])) ++pos;
    size_t optionLength = 0;
    while (pos < n && !IsPpdSpace(line[pos]) && line[pos] != ':' && line[pos] != '/') {
      if (!IsKeywordChar(line[pos]) || optionLength >= kMaxName) return LineKind::kStop;
      ++optionLength;
      ++pos;
    }
    while (pos < n && IsPpdSpace(line[pos])) ++pos;
    if (pos < n && line[pos] == '/') {
      ++pos;
      size_t textLength = 0;
      while (pos < n && line[pos] != '\n' && line[pos] != ':') {
        // Control characters are 0x00-0x1F and DEL; tab is allowed.
        unsigned char u = static_cast<unsigned char>(line[pos]);
        bool control = (u < ' ' && u != '\t') || u == 0x7F;
        if (control || textLength >= kMaxTranslation) return LineKind::kStop;
        ++textLength;
        ++pos;
      }
    }
  }
  while (pos < n && IsPpdSpace(line[pos])) ++pos;
  if (pos >= n || line[pos] != ':') return LineKind::kSkip;

  size_t begin = pos + 1;
  while (begin < n && IsPpdSpace(line[begin])) ++begin;
  size_t end = n;
  while (end > begin && IsPpdSpace(line[end - 1])) --end;
  value.assign(line, begin, end - begin);
  if (!value.empty() && value.back() == '"') {
    value.pop_back();
    if (!value.empty()) value.erase(0, 1);
  }
  return LineKind::kValue;
}

// Returned values live until the process ends, as callers keep the pointer.
const char* KeepForProcess(const std::string& value) {
  static std::vector<std::unique_ptr<char[]>> kept;
  std::unique_ptr<char[]> copy(new char[value.size() + 1]);
  memcpy(copy.get(), value.c_str(), value.size() + 1);
  kept.push_back(std::move(copy));
  return kept.back().get();
}

}  // namespace

const char* GetPpdKeywordValue(const char* keyword) {
  if (keyword == nullptr) return nullptr;
  const char* path = getenv("PPD");
  if (path == nullptr) return nullptr;
  CupsFilePtr fp(cupsFileOpen(path, "r"));
  if (!fp) return nullptr;

  std::string line, main_keyword, value;
  bool atEof = false;
  for (;;) {
    if (!ReadLogicalLine(fp.get(), line, atEof)) return nullptr;
    if (line == kStopLine || (atEof && line.empty())) return nullptr;
    switch (ParseLine(line, main_keyword, value)) {
      case LineKind::kStop:
        return nullptr;
      case LineKind::kSkip:
        break;
      case LineKind::kValue:
        if (main_keyword == keyword) return KeepForProcess(value);
        break;
    }
  }
}
