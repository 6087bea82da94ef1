// Checks of whole filter runs (header only, for tests linked with the preview parser): a run
// ended as CUPS expects (no signal, no timeout, no sanitizer report) and its TSPL is complete.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/filter_runner.h"
#include "tools/tspl2png/tspl_parser.h"

namespace quorvel::test {

// The bundled sample PPD: a 50 x 30 mm label printer at 203 dpi with its usual options.
inline std::string SamplePpd() { return std::string(QEV_SOURCE_DIR) + "/samples/sample-label.ppd"; }

struct Tspl {
  bool complete = false;  // every command well formed, every BITMAP with all its data
  std::string error;      // the parser's reason when not complete
  int labels = 0;         // PRINT commands executed
};

inline Tspl ReadTspl(const std::string& out) {
  quorvel::tspl::Parser parser({203});
  Tspl t;
  t.complete = parser.Parse(reinterpret_cast<const uint8_t*>(out.data()), out.size(),
                            [&t](const quorvel::tspl::Label&, int, int) { return ++t.labels > 0; });
  t.error = parser.error();
  return t;
}

// Exit status `exitStatus`, not killed, not timed out, and nothing from a sanitizer.
inline void ExpectCleanEnd(const RunResult& r, int exitStatus = 0) {
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitStatus, exitStatus);
  for (const char* report : {"Sanitizer", "runtime error"})
    EXPECT_EQ(r.err.find(report), std::string::npos) << r.err;
}

}  // namespace quorvel::test
