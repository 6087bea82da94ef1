// Test support: writes small PPD files that libcups opens, holding only what this filter reads
// from a PPD: the printer options with their code strings and defaults, and "OutputDPI".
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

// Choices "<prefix><code>" ('-' and '.' spelled 'm' and 'p') carrying the codes:
// NumericOption("Density", "8", {"0", "8", "15"}, "D") gives D0, D8, D15, the default D8.
PpdOption NumericOption(const std::string& keyword, const std::string& defaultCode,
                        const std::vector<std::string>& codes, const std::string& prefix = "V");

// The PPD text: a minimal header, *OutputDPI, then one PickOne option per entry.
std::string PpdText(const PpdSpec& spec);

bool WritePpdFile(const std::string& path, const PpdSpec& spec);  // false on an I/O failure

}  // namespace quorvel::test
