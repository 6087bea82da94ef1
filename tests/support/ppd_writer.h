// Test support (header only): small PPD files that libcups opens, holding only what this filter
// reads from a PPD: the printer options with their code strings and defaults, and "OutputDPI".
#pragma once

#include <string>
#include <vector>

#include "tests/support/filter_runner.h"

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

struct TestPpd {
  std::string outputDpi = "203";  // value of *OutputDPI; empty: the keyword is left out
  std::vector<PpdOption> options;
};

// Choices "<prefix><code>" ('-' and '.' spelled 'm' and 'p') carrying the codes:
// NumericOption("Density", "8", {"0", "8", "15"}, "D") gives D0, D8, D15, the default D8.
inline PpdOption NumericOption(const std::string& keyword, const std::string& defaultCode,
                               const std::vector<std::string>& codes,
                               const std::string& prefix = "V") {
  auto choiceName = [&prefix](std::string code) {
    for (char& c : code) c = c == '-' ? 'm' : c == '.' ? 'p' : c;
    return prefix + code;
  };
  PpdOption opt{keyword, defaultCode.empty() ? "" : choiceName(defaultCode), {}};
  for (const std::string& code : codes) opt.choices.push_back({choiceName(code), code});
  return opt;
}

// The PPD text: the header lines libcups needs, *OutputDPI, one PickOne option per entry.
inline std::string PpdText(const TestPpd& model) {
  std::string o =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"QEVTEST.PPD\"\n"
      "*Manufacturer: \"QEV\"\n*ModelName: \"QEV Test Label Printer\"\n"
      "*NickName: \"QEV Test Label Printer\"\n";
  if (!model.outputDpi.empty()) o += "*OutputDPI: \"" + model.outputDpi + "\"\n";
  for (const PpdOption& opt : model.options) {
    const std::string& k = opt.keyword;
    o += "*OpenUI *" + k + "/" + k + ": PickOne\n*OrderDependency: 20 AnySetup *" + k + "\n";
    if (!opt.defaultChoice.empty()) o += "*Default" + k + ": " + opt.defaultChoice + "\n";
    for (const PpdChoice& c : opt.choices)
      o += "*" + k + " " + c.name + "/" + c.name + ": \"" + c.code + "\"\n";
    o += "*CloseUI: *" + k + "\n";
  }
  return o;
}

inline bool WritePpdFile(const std::string& path, const TestPpd& model) {
  return WriteFile(path, PpdText(model));
}

}  // namespace quorvel::test
