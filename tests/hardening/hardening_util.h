// Shared checks of the hardening suite: a run ended as CUPS expects (status 0, no signal, no
// timeout, no sanitizer report) and its TSPL is complete, read back by the preview parser.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/filter_runner.h"
#include "tools/tspl2png/tspl_parser.h"

namespace quorvel::test {

// The bundled sample PPD: a 50 x 30 mm label printer at 203 dpi with its usual options.
inline std::string SamplePpd() { return std::string(QEV_SOURCE_DIR) + "/samples/sample-label.ppd"; }

// The TSPL stream read back: every command well formed, every BITMAP with all its data.
struct Tspl {
  bool complete = false;
  std::string error;  // the parser's reason when not complete
  int labels = 0;     // PRINT commands executed
};

inline Tspl ReadTspl(const std::string& out) {
  quorvel::tspl::Parser::Options options;
  options.dpi = 203;
  quorvel::tspl::Parser parser(options);
  Tspl t;
  t.complete = parser.Parse(reinterpret_cast<const uint8_t*>(out.data()), out.size(),
                            [&t](const quorvel::tspl::Label&, int, int) {
                              ++t.labels;
                              return true;
                            });
  t.error = parser.error();
  return t;
}

// The stream's shape only, for output the preview parser may refuse for a value a printer
// would not take: every line ends in CR LF, every BITMAP carries its width-bytes x height
// data bytes and a line end, and the stream ends after a whole command.
struct TsplShape {
  bool whole = false;
  int bitmaps = 0;
  int prints = 0;
};

inline TsplShape ScanTspl(const std::string& out) {
  TsplShape shape;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t end = out.find("\r\n", pos);
    const size_t bitmap = out.compare(pos, 7, "BITMAP ") == 0 ? pos : std::string::npos;
    if (bitmap != std::string::npos) {
      long x, y, wb, h, mode;
      int used = 0;
      if (sscanf(out.c_str() + pos, "BITMAP %ld,%ld,%ld,%ld,%ld,%n", &x, &y, &wb, &h, &mode,
                 &used) != 5 ||
          used == 0 || wb < 0 || h < 0) {
        return shape;
      }
      const size_t data = pos + size_t(used) + size_t(wb) * size_t(h);
      if (out.compare(data, 2, "\r\n") != 0) return shape;
      ++shape.bitmaps;
      pos = data + 2;
      continue;
    }
    if (end == std::string::npos) return shape;  // a command cut off
    if (out.compare(pos, 6, "PRINT ") == 0) ++shape.prints;
    pos = end + 2;
  }
  shape.whole = true;
  return shape;
}

// Exit status 0, not killed, not timed out, and nothing from a sanitizer on standard error.
inline void ExpectCleanEnd(const RunResult& r, int exitStatus = 0) {
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitStatus, exitStatus);
  for (const char* report : {"Sanitizer", "runtime error", "LeakSanitizer", "ThreadSanitizer"}) {
    EXPECT_EQ(r.err.find(report), std::string::npos) << r.err;
  }
}

}  // namespace quorvel::test
