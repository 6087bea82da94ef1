// TSPL stream reader for the label preview: one handler per command, checking every
// value once where it is read, so the label image is only touched with valid geometry.
#include "tools/tspl2png/tspl_parser.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace quorvel::tspl {
namespace {

constexpr int kMaxSide = 32768;                   // dots; 2.7 m at 300 dpi
constexpr int64_t kMaxArea = 64LL * 1024 * 1024;  // dots of one label image
constexpr int64_t kMaxCount = 1000000;            // sets or copies of one PRINT

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitArgs(const std::string& s) {
  std::vector<std::string> out;
  if (Trim(s).empty()) return out;
  size_t start = 0;
  for (;;) {
    size_t comma = s.find(',', start);
    out.push_back(Trim(s.substr(start, comma == std::string::npos ? comma : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

// A number followed by an optional unit: "3", "2.5 mm", "400 dot".  Units other than
// mm and dot make the value inches, as on the printer.
enum class Unit { kInch, kMm, kDot };

bool SplitNumber(const std::string& arg, double* value, Unit* unit) {
  if (arg.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(arg.c_str(), &end);
  if (end == arg.c_str() || !std::isfinite(*value)) return false;
  std::string rest = Upper(Trim(end));
  if (rest.empty()) {
    *unit = Unit::kInch;
  } else if (rest == "MM") {
    *unit = Unit::kMm;
  } else if (rest == "DOT" || rest == "DOTS") {
    *unit = Unit::kDot;
  } else {
    return false;
  }
  return true;
}

bool ParseInt(const std::string& arg, int64_t lo, int64_t hi, int64_t* out) {
  if (arg.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(arg.c_str(), &end, 10);
  if (end == arg.c_str() || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

std::string FormatMm(double mm) {
  char buf[32];
  snprintf(buf, sizeof buf, "%g mm", mm);
  return buf;
}

}  // namespace

PrintedBox FindPrintedBox(const Label& label) {
  PrintedBox box;
  for (int y = 0; y < label.height; ++y) {
    for (int x = 0; x < label.width; ++x) {
      if (!label.Printed(x, y)) continue;
      if (box.count++ == 0) {
        box.left = box.right = x;
        box.top = box.bottom = y;
      }
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.bottom = y;
    }
  }
  return box;
}

std::string Settings::Describe() const {
  std::string out;
  auto add = [&out](const std::string& item) { out += (out.empty() ? "" : "; ") + item; };
  if (gap_mm >= 0) add("GAP " + FormatMm(gap_mm) + "," + FormatMm(gap_offset_mm));
  if (bline_mm >= 0) add("BLINE " + FormatMm(bline_mm) + "," + FormatMm(bline_offset_mm));
  if (!ribbon.empty()) add("SET RIBBON " + ribbon);
  if (direction >= 0) add("DIRECTION " + std::to_string(direction) + "," + std::to_string(mirror));
  if (density >= 0) add("DENSITY " + std::to_string(density));
  if (speed >= 0) {
    char buf[32];
    snprintf(buf, sizeof buf, "SPEED %g", speed);
    add(buf);
  }
  if (offset_set) add("OFFSET " + FormatMm(offset_mm));
  if (!tear.empty()) add("SET TEAR " + tear);
  if (!peel.empty()) add("SET PEEL " + peel);
  if (!cutter.empty()) add("SET CUTTER " + cutter);
  return out;
}

bool Parser::Fail(const std::string& message) {
  error_ =
      "line " + std::to_string(line_) + " (byte " + std::to_string(line_start_) + "): " + message;
  return false;
}

bool Parser::ToDots(const std::string& arg, int* dots) {
  double number = 0;
  Unit unit = Unit::kDot;
  if (!SplitNumber(arg, &number, &unit)) return Fail("bad length \"" + arg + "\"");
  double length = number;
  if (unit == Unit::kMm) length = number * 1000.0 * options_.dpi / 25400.0;
  if (unit == Unit::kInch) length = number * options_.dpi;
  length = std::floor(length + 0.5);
  if (length < 1 || length > kMaxSide) return Fail("length \"" + arg + "\" is out of range");
  *dots = static_cast<int>(length);
  return true;
}

bool Parser::ToMillimetres(const std::string& arg, double* mm) {
  Unit unit = Unit::kMm;
  if (!SplitNumber(arg, mm, &unit)) return Fail("bad length \"" + arg + "\"");
  if (unit == Unit::kInch) *mm *= 25.4;
  if (unit == Unit::kDot) *mm = *mm * 25.4 / options_.dpi;
  if (std::fabs(*mm) > 1000) return Fail("length \"" + arg + "\" is out of range");
  return true;
}

bool Parser::Size(const std::vector<std::string>& args) {
  if (args.size() != 2) return Fail("SIZE needs a width and a height");
  int w = 0, h = 0;
  if (!ToDots(args[0], &w) || !ToDots(args[1], &h)) return false;
  if (static_cast<int64_t>(w) * h > kMaxArea) return Fail("SIZE is too large to preview");
  if (w != label_.width || h != label_.height) {
    label_.width = w;
    label_.height = h;
    label_.dots.assign(static_cast<size_t>(w) * h, 0);
  }
  return true;
}

// "BITMAP x,y,width-bytes,height,mode," followed by width-bytes * height bytes: rows from
// the top, most significant bit leftmost, a 0 bit printing a dot.
bool Parser::Bitmap(const std::string& header) {
  std::vector<std::string> args = SplitArgs(header);
  if (args.size() != 6 || !args[5].empty()) return Fail("BITMAP header must be x,y,w,h,mode,");
  int64_t x = 0, y = 0, wb = 0, h = 0, mode = 0;
  if (!ParseInt(args[0], 0, kMaxSide, &x) || !ParseInt(args[1], 0, kMaxSide, &y) ||
      !ParseInt(args[2], 1, kMaxSide / 8, &wb) || !ParseInt(args[3], 1, kMaxSide, &h)) {
    return Fail("BITMAP position or size out of range: \"" + header + "\"");
  }
  if (!ParseInt(args[4], 0, 2, &mode)) return Fail("BITMAP mode must be 0, 1 or 2");
  if (label_.width == 0) return Fail("BITMAP before SIZE: the label size is unknown");
  const size_t bytes = static_cast<size_t>(wb * h);
  if (size_ - pos_ < bytes) {
    return Fail("BITMAP data runs past the end of the stream: needs " + std::to_string(bytes) +
                " bytes, " + std::to_string(size_ - pos_) + " left");
  }
  const int64_t left = x + settings_.reference_x, top = y + settings_.reference_y;
  if (left >= label_.width || top >= label_.height) {
    return Fail("bitmap at " + std::to_string(left) + "," + std::to_string(top) +
                " lies outside the " + std::to_string(label_.width) + "x" +
                std::to_string(label_.height) + " dot label");
  }
  const uint8_t* src = data_ + pos_;
  int outside = 0;
  for (int64_t row = 0; row < h; ++row) {
    for (int64_t col = 0; col < wb * 8; ++col) {
      const bool dot = ((src[row * wb + col / 8] >> (7 - col % 8)) & 1) == 0;
      const int64_t lx = left + col, ly = top + row;
      if (lx >= label_.width || ly >= label_.height) {
        outside += dot ? 1 : 0;
        continue;
      }
      uint8_t& cell = label_.dots[static_cast<size_t>(ly) * label_.width + lx];
      if (mode == 0) cell = dot;
      if (mode == 1) cell = cell | dot;
      if (mode == 2) cell = cell ^ dot;
    }
  }
  pos_ += bytes;
  if (outside > 0 && !options_.clip) {
    return Fail(std::to_string(outside) + " printed dots of the bitmap at " + std::to_string(left) +
                "," + std::to_string(top) + " (" + std::to_string(wb * 8) + "x" +
                std::to_string(h) + ") fall outside the " + std::to_string(label_.width) + "x" +
                std::to_string(label_.height) + " dot label");
  }
  clipped_dots_ += outside;
  // The data is followed by a line end.
  if (pos_ < size_ && data_[pos_] == '\r') ++pos_;
  if (pos_ < size_ && data_[pos_] == '\n') ++pos_, ++line_;
  return true;
}

bool Parser::Print(const std::vector<std::string>& args, const PrintFn& onPrint) {
  int64_t sets = 0, copies = 1;
  if (args.empty() || args.size() > 2 || !ParseInt(args[0], 0, kMaxCount, &sets) ||
      (args.size() == 2 && !ParseInt(args[1], 0, kMaxCount, &copies))) {
    return Fail("PRINT needs m[,n] with whole numbers from 0 to " + std::to_string(kMaxCount));
  }
  if (label_.width == 0) return Fail("PRINT before SIZE: the label size is unknown");
  Label printed = label_;
  if (settings_.mirror == 1) {
    for (int y = 0; y < printed.height; ++y) {
      auto row = printed.dots.begin() + static_cast<ptrdiff_t>(y) * printed.width;
      std::reverse(row, row + printed.width);
    }
  }
  labels_printed_ += sets * copies;  // at most 10^12 per PRINT: no overflow in a real stream
  if (!onPrint(printed, static_cast<int>(sets), static_cast<int>(copies))) {
    return Fail("the label could not be written");
  }
  return true;
}

bool Parser::Set(const std::string& rest) {
  const std::string what = Upper(Trim(rest));
  const size_t space = what.find_first_of(" \t");
  const std::string name = what.substr(0, space);
  const std::string value = space == std::string::npos ? "" : Trim(what.substr(space));
  const bool onOff = value == "ON" || value == "OFF";
  if (name == "TEAR" && onOff) {
    settings_.tear = value;
  } else if (name == "PEEL" && onOff) {
    settings_.peel = value;
  } else if (name == "RIBBON" && onOff) {
    settings_.ribbon = value;
  } else if (name == "CUTTER") {
    int64_t count = 0;
    if (value != "OFF" && value != "BATCH" && !ParseInt(value, 0, 65535, &count)) {
      return Fail("SET CUTTER needs OFF, BATCH or a count, not \"" + value + "\"");
    }
    settings_.cutter = value;
  } else {
    return Fail("unknown command \"SET " + what + "\"");
  }
  return true;
}

bool Parser::Command(const std::string& line, const PrintFn& onPrint) {
  size_t end = 0;
  while (end < line.size() && std::isalpha(static_cast<unsigned char>(line[end]))) ++end;
  const std::string name = Upper(line.substr(0, end));
  const std::string rest = line.substr(end);
  const std::vector<std::string> args = SplitArgs(rest);
  if (!rest.empty() && rest[0] != ' ' && rest[0] != '\t') {
    return Fail("unknown command \"" + line.substr(0, 40) + "\"");
  }
  if (name == "CLS" && args.empty()) {
    std::fill(label_.dots.begin(), label_.dots.end(), 0);
    return true;
  }
  if (name == "SIZE") return Size(args);
  if (name == "GAP" || name == "BLINE") {
    double height = 0, offset = 0;
    if (args.size() != 2) return Fail(name + " needs a height and an offset");
    if (!ToMillimetres(args[0], &height) || !ToMillimetres(args[1], &offset)) return false;
    if (height < 0) return Fail(name + " height must not be negative");
    (name == "GAP" ? settings_.gap_mm : settings_.bline_mm) = height;
    (name == "GAP" ? settings_.gap_offset_mm : settings_.bline_offset_mm) = offset;
    return true;
  }
  if (name == "OFFSET") {
    if (args.size() != 1) return Fail("OFFSET needs one distance");
    settings_.offset_set = true;
    return ToMillimetres(args[0], &settings_.offset_mm);
  }
  if (name == "DENSITY") {
    int64_t density = 0;
    if (args.size() != 1 || !ParseInt(args[0], 0, 15, &density))
      return Fail("DENSITY needs 0 to 15");
    settings_.density = static_cast<int>(density);
    return true;
  }
  if (name == "SPEED") {
    double speed = 0;
    Unit unit = Unit::kInch;
    if (args.size() != 1 || !SplitNumber(args[0], &speed, &unit) || unit != Unit::kInch ||
        speed <= 0 || speed > 20) {
      return Fail("SPEED needs a speed in inches per second");
    }
    settings_.speed = speed;
    return true;
  }
  if (name == "DIRECTION") {
    int64_t direction = 0, mirror = 0;
    if (args.empty() || args.size() > 2 || !ParseInt(args[0], 0, 1, &direction) ||
        (args.size() == 2 && !ParseInt(args[1], 0, 1, &mirror))) {
      return Fail("DIRECTION needs n[,m] with 0 or 1");
    }
    settings_.direction = static_cast<int>(direction);
    settings_.mirror = static_cast<int>(mirror);
    return true;
  }
  if (name == "REFERENCE") {
    int64_t x = 0, y = 0;
    if (args.size() != 2 || !ParseInt(args[0], 0, kMaxSide, &x) ||
        !ParseInt(args[1], 0, kMaxSide, &y)) {
      return Fail("REFERENCE needs x,y in dots");
    }
    settings_.reference_x = static_cast<int>(x);
    settings_.reference_y = static_cast<int>(y);
    return true;
  }
  if (name == "SET") return Set(rest);
  if (name == "PRINT") return Print(args, onPrint);
  return Fail("unknown command \"" + line.substr(0, 40) + "\"");
}

bool Parser::Parse(const uint8_t* data, size_t size, const PrintFn& onPrint) {
  data_ = data;
  size_ = size;
  pos_ = 0;
  line_ = 1;
  error_.clear();
  while (pos_ < size_) {
    const uint8_t c = data_[pos_];
    if (c == '\n' || c == '\r' || c == ' ' || c == '\t') {
      line_ += c == '\n' ? 1 : 0;
      ++pos_;
      continue;
    }
    line_start_ = pos_;
    // BITMAP carries binary data after its fifth comma, so its header is cut there
    // rather than at a line end.
    static const char kBitmap[] = "BITMAP ";
    const size_t n = sizeof kBitmap - 1;
    if (size_ - pos_ >= n &&
        strncasecmp(reinterpret_cast<const char*>(data_ + pos_), kBitmap, n) == 0) {
      size_t p = pos_ + n;
      int commas = 0;
      while (p < size_ && commas < 5 && data_[p] != '\n') commas += data_[p++] == ',';
      if (commas < 5) return Fail("BITMAP header is cut short");
      std::string header(reinterpret_cast<const char*>(data_ + pos_ + n), p - pos_ - n);
      pos_ = p;
      if (!Bitmap(header)) return false;
      continue;
    }
    size_t eol = pos_;
    while (eol < size_ && data_[eol] != '\n' && data_[eol] != '\r') ++eol;
    std::string line(reinterpret_cast<const char*>(data_ + pos_), eol - pos_);
    pos_ = eol;
    for (char ch : line) {
      if (!std::isprint(static_cast<unsigned char>(ch)) && ch != '\t') {
        return Fail("binary data outside a BITMAP");
      }
    }
    if (!Command(Trim(line), onPrint)) return false;
  }
  return true;
}

}  // namespace quorvel::tspl
