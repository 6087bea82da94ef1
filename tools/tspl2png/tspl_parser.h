// TSPL stream reader for the label preview: executes the commands a label printer
// accepts (as rastertoqevcp writes them) on an in-memory label image and hands every
// PRINT to the caller.  Kept apart from the PNG output so it can be tested and fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::tspl {

// The label image the printer holds between CLS and PRINT.
struct Label {
  int width = 0;              // dots across the label
  int height = 0;             // dots along the label
  std::vector<uint8_t> dots;  // width * height, row by row from the top; 1 = dot printed
  bool Printed(int x, int y) const { return dots[static_cast<size_t>(y) * width + x] != 0; }
};

// Where the printed dots of a label lie: the smallest box holding them all (inclusive
// edges, in dots) and their number; count 0 means a blank label.
struct PrintedBox {
  int left = 0, top = 0, right = -1, bottom = -1;
  long count = 0;
};
PrintedBox FindPrintedBox(const Label& label);

// Printer settings met so far; values keep the units they were given in, converted to
// millimetres where TSPL allows inches.  -1 marks a setting the stream never made.
struct Settings {
  double gap_mm = -1, gap_offset_mm = -1;      // GAP
  double bline_mm = -1, bline_offset_mm = -1;  // BLINE
  double offset_mm = -1;                       // OFFSET (may be negative once set)
  bool offset_set = false;
  int density = -1;                        // DENSITY 0..15
  double speed = -1;                       // SPEED
  int direction = -1, mirror = 0;          // DIRECTION n,m
  int reference_x = 0, reference_y = 0;    // REFERENCE
  std::string tear, peel, cutter, ribbon;  // SET ... values as written ("ON", "OFF", "3")
  // One line such as "GAP 3 mm,0 mm; DENSITY 8; SET TEAR ON", for the tool's report.
  std::string Describe() const;
};

class Parser {
 public:
  struct Options {
    int dpi = 203;      // resolution for SIZE, GAP and OFFSET given in mm or inches
    bool clip = false;  // drop printed dots beyond the label instead of failing
  };
  // Called for each PRINT m,n with the label as printed (mirror applied), the number
  // of label sets m and copies n.  Returning false stops the parse with an error.
  using PrintFn = std::function<bool(const Label& label, int sets, int copies)>;

  explicit Parser(Options options) : options_(options) {}

  // Runs the whole stream.  False on the first malformed command; error() says which,
  // where (line and byte offset) and why.  The data is borrowed for the call.
  bool Parse(const uint8_t* data, size_t size, const PrintFn& onPrint);

  const std::string& error() const { return error_; }
  const Settings& settings() const { return settings_; }
  int64_t labels_printed() const { return labels_printed_; }
  int clipped_dots() const { return clipped_dots_; }

 private:
  bool Command(const std::string& line, const PrintFn& onPrint);
  bool Size(const std::vector<std::string>& args);
  bool Bitmap(const std::string& header);
  bool Print(const std::vector<std::string>& args, const PrintFn& onPrint);
  bool Set(const std::string& rest);
  bool ToDots(const std::string& arg, int* dots);
  bool ToMillimetres(const std::string& arg, double* mm);
  bool Fail(const std::string& message);

  Options options_;
  Settings settings_;
  Label label_;
  std::string error_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;              // next unread byte
  size_t line_start_ = 0;       // byte offset of the command being executed
  int line_ = 0;                // its line number, from 1
  int64_t labels_printed_ = 0;  // sum of m * n over every PRINT
  int clipped_dots_ = 0;
};

}  // namespace quorvel::tspl
