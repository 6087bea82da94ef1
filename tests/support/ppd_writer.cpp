// Test support: PPD text for the tests' printers. Every code string is numeric (or the
// ColorModel's setpagedevice), so the real CUPS raster filters could interpret it too.
#include "tests/support/ppd_writer.h"

#include <sstream>

#include "tests/support/filter_runner.h"

namespace quorvel::test {

PpdOption NumericOption(const std::string& keyword, const std::string& defaultCode,
                        const std::vector<std::string>& codes, const std::string& prefix) {
  auto choiceName = [&prefix](std::string code) {
    for (char& c : code) {
      if (c == '-') c = 'm';
      if (c == '.') c = 'p';
    }
    return prefix + code;
  };
  PpdOption opt;
  opt.keyword = keyword;
  for (const std::string& code : codes) opt.choices.push_back({choiceName(code), code});
  if (!defaultCode.empty()) opt.defaultChoice = choiceName(defaultCode);
  return opt;
}

std::string PpdText(const PpdSpec& spec) {
  std::ostringstream o;
  o << "*PPD-Adobe: \"4.3\"\n"
    << "*FormatVersion: \"4.3\"\n"
    << "*FileVersion: \"1.0\"\n"
    << "*LanguageVersion: English\n"
    << "*LanguageEncoding: ISOLatin1\n"
    << "*PCFileName: \"QEVTEST.PPD\"\n"
    << "*Manufacturer: \"QEV\"\n"
    << "*Product: \"(QEV Test Label Printer)\"\n"
    << "*ModelName: \"QEV Test Label Printer\"\n"
    << "*ShortNickName: \"QEV Test Label Printer\"\n"
    << "*NickName: \"QEV Test Label Printer\"\n"
    << "*PSVersion: \"(3010.000) 0\"\n"
    << "*LanguageLevel: \"3\"\n"
    << "*ColorDevice: True\n"
    << "*DefaultColorSpace: RGB\n"
    << "*FileSystem: False\n"
    << "*Throughput: \"1\"\n"
    << "*LandscapeOrientation: Plus90\n"
    << "*TTRasterizer: Type42\n"
    << "*cupsVersion: 2.4\n"
    << "*cupsModelNumber: 0\n"
    << "*cupsManualCopies: False\n"
    << "*cupsFilter: \"application/vnd.cups-raster 0 rastertoqevcp\"\n";
  if (!spec.outputDpi.empty()) o << "*OutputDPI: \"" << spec.outputDpi << "\"\n";

  o << "*OpenUI *ColorModel/Color Mode: PickOne\n"
    << "*OrderDependency: 10 AnySetup *ColorModel\n"
    << "*DefaultColorModel: RGB\n"
    << "*ColorModel RGB/Color: \"<</cupsColorSpace 1/cupsBitsPerColor 8/cupsColorOrder 0>>"
       "setpagedevice\"\n"
    << "*CloseUI: *ColorModel\n";

  // One 4 x 6 inch page size, named in the four places libcups reads it from.
  o << "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n"
    << "*DefaultPageSize: w288h432\n"
    << "*PageSize w288h432: \"<</PageSize[288 432]/ImagingBBox null>>setpagedevice\"\n"
    << "*CloseUI: *PageSize\n"
    << "*OpenUI *PageRegion: PickOne\n*OrderDependency: 10 AnySetup *PageRegion\n"
    << "*DefaultPageRegion: w288h432\n"
    << "*PageRegion w288h432: \"<</PageSize[288 432]/ImagingBBox null>>setpagedevice\"\n"
    << "*CloseUI: *PageRegion\n"
    << "*DefaultImageableArea: w288h432\n*ImageableArea w288h432: \"0 0 288 432\"\n"
    << "*DefaultPaperDimension: w288h432\n*PaperDimension w288h432: \"288 432\"\n";
  for (const PpdOption& opt : spec.options) {
    o << "*OpenUI *" << opt.keyword << "/" << opt.keyword << ": PickOne\n"
      << "*OrderDependency: 20 AnySetup *" << opt.keyword << "\n";
    if (!opt.defaultChoice.empty())
      o << "*Default" << opt.keyword << ": " << opt.defaultChoice << "\n";
    for (const PpdChoice& c : opt.choices)
      o << "*" << opt.keyword << " " << c.name << "/" << c.name << ": \"" << c.code << "\"\n";
    o << "*CloseUI: *" << opt.keyword << "\n";
  }
  return o.str();
}

bool WritePpdFile(const std::string& path, const PpdSpec& spec) {
  return WriteFile(path, PpdText(spec));
}

}  // namespace quorvel::test
