// Test support: capture of what code under test writes to standard output (descriptor 1), and
// a readable listing of a TSPL stream (commands as text, BITMAP data as rows of '#' and '.').
#pragma once

#include <string>

#include "tests/support/filter_runner.h"

namespace quorvel::test {

// Redirects descriptor 1 into a private file until Take() (or destruction).
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture() { Take(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Take();  // restores standard output; every byte written meanwhile

 private:
  TempDir dir_;
  int saved_ = -1;
};

// One line per command, "\r\n" replaced by "\n"; a BITMAP header is followed by its rows, '#'
// for a clear bit (a printed dot) and '.' for a set bit. A malformed stream ends the listing
// with a "<...>" line.
std::string ReadableTspl(const std::string& tspl);

}  // namespace quorvel::test
