// Test support (header only): capture of what code under test writes to standard output
// (descriptor 1), and a readable listing of a TSPL stream to compare labels with dot patterns.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/support/filter_runner.h"

namespace quorvel::test {

// Redirects descriptor 1 into a private file until Take() (or destruction).
class StdoutCapture {
 public:
  StdoutCapture() {
    fflush(stdout);
    const int fd = open(dir_.file("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    saved_ = dup(1);
    dup2(fd, 1);
    close(fd);
  }
  ~StdoutCapture() { Take(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Take() {  // restores standard output; every byte written meanwhile
    fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, 1);
      close(saved_);
      saved_ = -1;
    }
    return ReadFile(dir_.file("out"));
  }

 private:
  TempDir dir_;
  int saved_ = -1;
};

// One line per command, "\r\n" replaced by "\n"; a BITMAP header is followed by its rows, '#'
// for a clear bit (a printed dot) and '.' for a set bit. A malformed stream ends the listing
// with a "<...>" line.
inline std::string ReadableTspl(const std::string& s) {
  std::string out;
  for (size_t pos = 0, end; pos < s.size(); pos = end + 2) {
    if (s.compare(pos, 7, "BITMAP ") == 0) {
      int x, y, r, n, mode, used = 0;
      if (sscanf(s.c_str() + pos, "BITMAP %d,%d,%d,%d,%d,%n", &x, &y, &r, &n, &mode, &used) < 5 ||
          used == 0 || r < 0 || n < 0)
        return out + "<bad BITMAP header>\n";
      out += s.substr(pos, used) + "\n";
      pos += used;
      end = pos + size_t(r) * size_t(n);
      if (end + 2 > s.size()) return out + "<short BITMAP data>\n";
      for (size_t i = 0; i < end - pos; ++i) {
        for (int bit = 7; bit >= 0; --bit) out += (uint8_t(s[pos + i]) >> bit) & 1 ? '.' : '#';
        if ((i + 1) % size_t(r) == 0) out += "\n";
      }
      if (s.compare(end, 2, "\r\n") != 0) return out + "<no line end after BITMAP data>\n";
      continue;
    }
    end = s.find("\r\n", pos);
    if (end == std::string::npos) return out + "<unterminated: " + s.substr(pos) + ">\n";
    const std::string line = s.substr(pos, end - pos);
    // A bare line feed inside a command would otherwise pass for a line end.
    if (line.find('\n') != std::string::npos) return out + "<bare line feed: " + line + ">\n";
    out += line + "\n";
  }
  return out;
}

}  // namespace quorvel::test
