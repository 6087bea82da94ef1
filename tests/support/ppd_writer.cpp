// Test support: PPD text for the tests' printers; libcups needs no more than the header
// lines to open it, and the filter reads nothing but the options and OutputDPI.
#include "tests/support/ppd_writer.h"

#include "tests/support/filter_runner.h"

namespace quorvel::test {

PpdOption NumericOption(const std::string& keyword, const std::string& defaultCode,
                        const std::vector<std::string>& codes, const std::string& prefix) {
  auto choiceName = [&prefix](std::string code) {
    for (char& c : code) c = c == '-' ? 'm' : c == '.' ? 'p' : c;
    return prefix + code;
  };
  PpdOption opt{keyword, defaultCode.empty() ? "" : choiceName(defaultCode), {}};
  for (const std::string& code : codes) opt.choices.push_back({choiceName(code), code});
  return opt;
}

std::string PpdText(const PpdSpec& spec) {
  std::string o =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"QEVTEST.PPD\"\n"
      "*Manufacturer: \"QEV\"\n*ModelName: \"QEV Test Label Printer\"\n"
      "*NickName: \"QEV Test Label Printer\"\n";
  if (!spec.outputDpi.empty()) o += "*OutputDPI: \"" + spec.outputDpi + "\"\n";
  for (const PpdOption& opt : spec.options) {
    const std::string& k = opt.keyword;
    o += "*OpenUI *" + k + "/" + k + ": PickOne\n*OrderDependency: 20 AnySetup *" + k + "\n";
    if (!opt.defaultChoice.empty()) o += "*Default" + k + ": " + opt.defaultChoice + "\n";
    for (const PpdChoice& c : opt.choices)
      o += "*" + k + " " + c.name + "/" + c.name + ": \"" + c.code + "\"\n";
    o += "*CloseUI: *" + k + "\n";
  }
  return o;
}

bool WritePpdFile(const std::string& path, const PpdSpec& spec) {
  return WriteFile(path, PpdText(spec));
}

}  // namespace quorvel::test
