// Test support: PPD text for the tests' printers. Every code string is numeric (or the
// ColorModel's setpagedevice), so the real CUPS raster filters could interpret it too.
#include "tests/support/ppd_writer.h"

#include <fstream>
#include <sstream>

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
    << "*Product: \"(" << spec.modelName << ")\"\n"
    << "*ModelName: \"" << spec.modelName << "\"\n"
    << "*ShortNickName: \"" << spec.modelName << "\"\n"
    << "*NickName: \"" << spec.modelName << "\"\n"
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
  for (const std::string& line : spec.extraLines) o << line << "\n";
  if (!spec.outputDpi.empty()) o << "*OutputDPI: \"" << spec.outputDpi << "\"\n";

  o << "*OpenUI *ColorModel/Color Mode: PickOne\n"
    << "*OrderDependency: 10 AnySetup *ColorModel\n"
    << "*DefaultColorModel: RGB\n"
    << "*ColorModel RGB/Color: \"<</cupsColorSpace 1/cupsBitsPerColor 8/cupsColorOrder 0>>"
       "setpagedevice\"\n"
    << "*CloseUI: *ColorModel\n";

  const std::string def = spec.pageSizes.empty() ? "" : spec.pageSizes.front().name;
  o << "*OpenUI *PageSize/Media Size: PickOne\n"
    << "*OrderDependency: 10 AnySetup *PageSize\n"
    << "*DefaultPageSize: " << def << "\n";
  for (const PpdPageSize& s : spec.pageSizes)
    o << "*PageSize " << s.name << ": \"<</PageSize[" << s.widthPt << " " << s.heightPt
      << "]/ImagingBBox null>>setpagedevice\"\n";
  o << "*CloseUI: *PageSize\n"
    << "*OpenUI *PageRegion: PickOne\n"
    << "*OrderDependency: 10 AnySetup *PageRegion\n"
    << "*DefaultPageRegion: " << def << "\n";
  for (const PpdPageSize& s : spec.pageSizes)
    o << "*PageRegion " << s.name << ": \"<</PageSize[" << s.widthPt << " " << s.heightPt
      << "]/ImagingBBox null>>setpagedevice\"\n";
  o << "*CloseUI: *PageRegion\n"
    << "*DefaultImageableArea: " << def << "\n";
  for (const PpdPageSize& s : spec.pageSizes)
    o << "*ImageableArea " << s.name << ": \"0 0 " << s.widthPt << " " << s.heightPt << "\"\n";
  o << "*DefaultPaperDimension: " << def << "\n";
  for (const PpdPageSize& s : spec.pageSizes)
    o << "*PaperDimension " << s.name << ": \"" << s.widthPt << " " << s.heightPt << "\"\n";

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
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << PpdText(spec);
  f.close();
  return bool(f);
}

}  // namespace quorvel::test
