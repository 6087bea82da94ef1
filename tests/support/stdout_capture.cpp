// Test support: standard output capture through a temporary file and the TSPL listing used to
// compare rendered labels with expected dot patterns.
#include "tests/support/stdout_capture.h"

#include <unistd.h>

namespace quorvel::test {

StdoutCapture::StdoutCapture() {
  fflush(stdout);
  file_ = tmpfile();
  if (file_ == nullptr) return;
  saved_ = dup(1);
  dup2(fileno(file_), 1);
}

std::string StdoutCapture::Take() {
  if (file_ == nullptr) return text_;
  fflush(stdout);
  dup2(saved_, 1);
  close(saved_);
  rewind(file_);
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, file_)) > 0) text_.append(buf, n);
  fclose(file_);
  file_ = nullptr;
  return text_;
}

std::string ReadableTspl(const std::string& s) {
  std::string out;
  size_t pos = 0;
  while (pos < s.size()) {
    if (s.compare(pos, 7, "BITMAP ") == 0) {
      int x, y, r, n, mode, used = 0;
      if (sscanf(s.c_str() + pos, "BITMAP %d,%d,%d,%d,%d,%n", &x, &y, &r, &n, &mode, &used) < 5 ||
          used == 0 || r < 0 || n < 0) {
        return out + "<bad BITMAP header>\n";
      }
      out += s.substr(pos, used) + "\n";
      pos += used;
      const size_t bytes = static_cast<size_t>(r) * static_cast<size_t>(n);
      if (pos + bytes + 2 > s.size()) return out + "<short BITMAP data>\n";
      for (size_t row = 0; row < static_cast<size_t>(n); ++row) {
        for (size_t b = 0; b < static_cast<size_t>(r); ++b) {
          const unsigned v = static_cast<unsigned char>(s[pos + row * r + b]);
          for (int bit = 7; bit >= 0; --bit) out += (v >> bit) & 1 ? '.' : '#';
        }
        out += "\n";
      }
      pos += bytes;
      if (s.compare(pos, 2, "\r\n") != 0) return out + "<no line end after BITMAP data>\n";
      pos += 2;
      continue;
    }
    const size_t end = s.find("\r\n", pos);
    if (end == std::string::npos) return out + "<unterminated: " + s.substr(pos) + ">\n";
    const std::string line = s.substr(pos, end - pos);
    // A bare line feed inside a command would otherwise pass for a line end.
    if (line.find('\n') != std::string::npos) return out + "<bare line feed: " + line + ">\n";
    out += line + "\n";
    pos = end + 2;
  }
  return out;
}

}  // namespace quorvel::test
