// Fuzz target: the TSPL preview parser (tspl2png's reader) on arbitrary command streams.
// The first byte picks the resolution and the clipping mode; every printed label handed to
// the caller must have the size it claims.
#include <cstdint>
#include <cstdlib>

#include "tools/tspl2png/tspl_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const int kDpis[] = {203, 300, 600, 1};
  quorvel::tspl::Parser::Options options;
  options.dpi = kDpis[data[0] & 3];
  options.clip = (data[0] & 4) != 0;
  quorvel::tspl::Parser parser(options);
  parser.Parse(data + 1, size - 1, [](const quorvel::tspl::Label& label, int sets, int copies) {
    if (label.width < 0 || label.height < 0 || sets < 0 || copies < 0 ||
        label.dots.size() != static_cast<size_t>(label.width) * label.height) {
      abort();
    }
    quorvel::tspl::FindPrintedBox(label);
    return true;
  });
  parser.settings().Describe();
  return 0;
}
