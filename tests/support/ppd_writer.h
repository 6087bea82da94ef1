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

struct PpdPageSize {
  std::string name;    // e.g. "w288h432"
  int widthPt = 288;   // points
  int heightPt = 432;  // points
};

struct PpdSpec {
  std::string modelName = "QEV Test Label Printer";
  std::string outputDpi = "203";  // value of *OutputDPI; empty: the keyword is left out
  std::vector<PpdPageSize> pageSizes = {{"w288h432", 288, 432}};
  std::vector<PpdOption> options;
  // Extra raw lines placed after the header keywords (e.g. unusual keywords, comments).
  std::vector<std::string> extraLines;
};

// A printer option whose choices carry the given numeric codes, each choice named
// "<prefix><code>" with '-' and '.' spelled 'm' and 'p': NumericOption("Density", "8",
// {"0", "8", "15"}, "D") gives choices D0, D8, D15 with the default D8.
PpdOption NumericOption(const std::string& keyword, const std::string& defaultCode,
                        const std::vector<std::string>& codes, const std::string& prefix = "V");

// The PPD text: header keywords, *cupsFilter for this filter, an RGB ColorModel, the
// page sizes, *OutputDPI and one PickOne option per entry, in that order.
std::string PpdText(const PpdSpec& spec);

// Writes PpdText(spec) to `path`; false on an I/O failure.
bool WritePpdFile(const std::string& path, const PpdSpec& spec);

}  // namespace quorvel::test
