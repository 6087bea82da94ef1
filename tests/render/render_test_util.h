// Helpers for the renderer tests: capture what the renderer writes to standard output, turn
// a TSPL stream into a readable listing (command lines as text, BITMAP data as #/. rows, '#'
// a printed dot), and draw expected bitmaps dot by dot.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "filter/records.h"
#include "render/tspl_render.h"

namespace qevtest {

// Redirects file descriptor 1 into a temporary file until Finish().
class StdoutCapture {
 public:
  StdoutCapture() {
    fflush(stdout);
    file_ = tmpfile();
    saved_ = dup(1);
    if (file_) dup2(fileno(file_), 1);
  }
  ~StdoutCapture() { Finish(); }
  std::string Finish() {
    if (!file_) return text_;
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

 private:
  FILE* file_ = nullptr;
  int saved_ = -1;
  std::string text_;
};

// One line per command; a BITMAP header line is followed by its rows drawn as '#' (bit 0, a
// printed dot) and '.' (bit 1). A malformed stream ends the listing with "<...>".
inline std::string ReadableTspl(const std::string& s) {
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
      for (int row = 0; row < n; ++row) {
        for (int b = 0; b < r; ++b) {
          const unsigned char v = static_cast<unsigned char>(s[pos + row * r + b]);
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
    out += s.substr(pos, end - pos) + "\n";
    pos = end + 2;
  }
  return out;
}

// An expected bitmap of `bytesPerRow` × `rows`, all blank until dots are set.
class Art {
 public:
  Art(int bytesPerRow, int rows)
      : rows_(rows, std::string(static_cast<size_t>(bytesPerRow) * 8, '.')) {}
  Art& Dot(int x, int y) {
    rows_.at(y).at(x) = '#';
    return *this;
  }
  std::string Text() const {
    std::string t;
    for (const std::string& r : rows_) t += r + "\n";
    return t;
  }

 private:
  std::vector<std::string> rows_;
};

// The three job records and a renderer pointed at them, all zero to start with.
struct RenderJob {
  tagOEMCFG cfg{};
  _DEVMODE dev{};
  _OEMPDEV pdev{};
  CTSPLRenderClass renderer;

  RenderJob() {
    renderer.SetOemCfgPointer(&cfg);
    renderer.SetDevModePointer(&dev);
    renderer.SetOemPdevPointer(&pdev);
    cfg.sOutputXDPI = cfg.sOutputYDPI = 203;
    cfg.dwOperationAfterPrn = 3;
    cfg.sMaxOutputWidth = 104;
    dev.dmOrientation = 1;
    dev.dmPrintQuality = dev.dmYResolution = 203;
    pdev.sCurCopies = 1;
    pdev.dwCurPageNum = 1;
  }
};

}  // namespace qevtest
