// PNG output of a label image for the TSPL preview: one-bit gray at the label's size,
// black where the printer prints a dot, with the printer resolution stored in the file.
#pragma once

#include <string>

#include "tools/tspl2png/tspl_parser.h"

namespace quorvel::tspl {

// Writes the label to path.  False with *error set when the file cannot be written.
bool WritePng(const std::string& path, const Label& label, int dpi, std::string* error);

}  // namespace quorvel::tspl
