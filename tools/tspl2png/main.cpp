// tspl2png: shows what a TSPL label printer would print.  Reads a TSPL stream (a file
// or standard input), writes one PNG per printed label and reports the settings.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/tspl2png/png_writer.h"
#include "tools/tspl2png/tspl_parser.h"

namespace {

constexpr size_t kMaxInput = size_t{1} << 30;
constexpr int64_t kMaxFiles = 10000;  // one per printed label; --once for more

void Usage() {
  fprintf(stderr,
          "usage: tspl2png [-r dpi] [-o prefix] [--once] [--strict] [file|-]\n"
          "  -r dpi     printer resolution for sizes in mm or inches (default 203)\n"
          "  -o prefix  output names prefix-001.png, prefix-002.png, ... (default label)\n"
          "  --once     one PNG per PRINT command instead of one per printed label\n"
          "  --strict   fail on dots beyond the label edge; by default they are dropped\n"
          "             as a printer drops them, with one warning per label\n");
}

// A whole decimal number, or -1 (which every range check refuses) for anything else.
int WholeNumber(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < 0 || value > 1000000) return -1;
  return static_cast<int>(value);
}

bool ReadAll(FILE* in, std::vector<uint8_t>* data) {
  uint8_t buf[65536];
  size_t got = 0;
  while ((got = fread(buf, 1, sizeof buf, in)) > 0) {
    if (data->size() + got > kMaxInput) return false;
    data->insert(data->end(), buf, buf + got);
  }
  return !ferror(in);
}

}  // namespace

int main(int argc, char** argv) {
  quorvel::tspl::Parser::Options options;
  options.clip = true;  // a printer drops what falls off the label, and so do we
  std::string prefix = "label", input = "-";
  bool once = false;
  const char* dpiText = "";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-r" && i + 1 < argc) {
      dpiText = argv[++i];
      options.dpi = WholeNumber(dpiText);
    } else if (arg == "-o" && i + 1 < argc) {
      prefix = argv[++i];
    } else if (arg == "--once") {
      once = true;
    } else if (arg == "--clip") {  // the default; kept for older scripts
      options.clip = true;
    } else if (arg == "--strict") {
      options.clip = false;
    } else if (arg == "-h" || arg == "--help") {
      Usage();
      return 0;
    } else if (i == argc - 1 && (arg == "-" || arg[0] != '-')) {
      input = arg;
    } else {
      Usage();
      return 2;
    }
  }
  if (options.dpi < 50 || options.dpi > 2400) {
    fprintf(stderr, "tspl2png: resolution \"%s\" is not a number of dpi from 50 to 2400\n",
            dpiText);
    return 2;
  }
  FILE* in = input == "-" ? stdin : fopen(input.c_str(), "rb");
  if (!in) {
    fprintf(stderr, "tspl2png: cannot open %s: %s\n", input.c_str(), strerror(errno));
    return 2;
  }
  std::vector<uint8_t> data;
  const bool readOk = ReadAll(in, &data);
  if (in != stdin) fclose(in);
  if (!readOk) {
    fprintf(stderr, "tspl2png: cannot read %s\n", input.c_str());
    return 2;
  }

  int written = 0;
  int labels = 0;
  int clippedBefore = 0;
  std::string write_error;
  quorvel::tspl::Parser parser(options);
  auto onPrint = [&](const quorvel::tspl::Label& label, int sets, int copies) {
    ++labels;
    if (parser.clipped_dots() > clippedBefore) {
      fprintf(stderr,
              "tspl2png: warning: label %d: %d printed dots fell outside the %dx%d dot label\n",
              labels, parser.clipped_dots() - clippedBefore, label.width, label.height);
      clippedBefore = parser.clipped_dots();
    }
    const int64_t count = once ? 1 : int64_t{sets} * copies;
    if (written + count > kMaxFiles) {
      write_error = "more than " + std::to_string(kMaxFiles) + " PNG files; use --once";
      return false;
    }
    for (int64_t i = 0; i < count; ++i) {
      char name[32];
      snprintf(name, sizeof name, "-%03d.png", ++written);
      if (!quorvel::tspl::WritePng(prefix + name, label, options.dpi, &write_error)) return false;
      const quorvel::tspl::PrintedBox box = quorvel::tspl::FindPrintedBox(label);
      printf("%s%s: %d x %d dots (%.1f x %.1f mm), PRINT %d,%d, %ld dots printed in %d,%d-%d,%d\n",
             prefix.c_str(), name, label.width, label.height, label.width * 25.4 / options.dpi,
             label.height * 25.4 / options.dpi, sets, copies, box.count, box.left, box.top,
             box.right, box.bottom);
    }
    return true;
  };
  if (!parser.Parse(data.data(), data.size(), onPrint)) {
    fprintf(stderr, "tspl2png: %s%s%s\n", parser.error().c_str(), write_error.empty() ? "" : ": ",
            write_error.c_str());
    return 1;
  }
  printf("settings: %s\n", parser.settings().Describe().c_str());
  printf("%lld label(s) printed, %d PNG file(s) written\n",
         static_cast<long long>(parser.labels_printed()), written);
  return 0;
}
