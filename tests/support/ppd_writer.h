// Test support: writes small PPD files that libcups opens (ppdOpenFile), with the printer
// options, choice code strings, defaults, page sizes and the plain "OutputDPI" keyword a test asks
// for.
#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

struct PpdChoice {
  std::string name;  // choice keyword, e.g. "D8"
  std::string code;  // the quoted code string, e.g. "8"; this system reads values from it
};

struct PpdOption {
  std::string keyword;        // e.g. "Density"
  std::string defaultChoice;  // e.g. "D8"; empty: no *Default line
  std::vector<PpdChoice> choices;
};

struct PpdSpec {
  std::string outputDpi = "203";  // value of *OutputDPI; empty: the keyword is left out
  std::vector<PpdOption> options;
};

// A printer option whose choices carry the given numeric codes, each choice named
// "<prefix><code>" with '-' and '.' spelled 'm' and 'p': NumericOption("Density", "8",
// {"0", "8", "15"}, "D") gives choices D0, D8, D15 with the default D8.
PpdOption NumericOption(const std::string& keyword, const std::string& defaultCode,
                        const std::vector<std::string>& codes, const std::string& prefix = "V");

// The PPD text: header keywords, *cupsFilter for this filter, *OutputDPI, an RGB ColorModel,
// one 4 x 6 inch page size and one PickOne option per entry, in that order.
std::string PpdText(const PpdSpec& spec);

// Writes PpdText(spec) to `path`; false on an I/O failure.
bool WritePpdFile(const std::string& path, const PpdSpec& spec);

}  // namespace quorvel::test
