// Fuzz target: the option table (InitalizeOemCfg with every option reader, then the device
// mode and page device) on arbitrary PPD files that libcups accepts.
#include <cups/ppd.h>

#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "job/records.h"
#include "settings/print_settings.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quorvel::fuzz::QuietTrace();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel::fuzz::MemFile file(data, size);
  ppd_file_t* ppd = file.ok() ? ppdOpenFile(file.path.c_str()) : nullptr;
  if (!ppd) return 0;
  setenv("PPD", file.path.c_str(), 1);  // OutputDPI is read from the file itself
  ppdMarkDefaults(ppd);
  cups_page_header2_t header{};  // a 400 x 240 RGB page at 203 dpi
  header.cupsWidth = 400;
  header.cupsHeight = 240;
  header.cupsBitsPerColor = 8;
  header.cupsBitsPerPixel = 24;
  header.cupsBytesPerLine = 1200;
  header.cupsColorSpace = CUPS_CSPACE_RGB;
  header.HWResolution[0] = header.HWResolution[1] = 203;
  header.NumCopies = 1;
  tagOEMCFG cfg{};
  InitalizeOemCfg(&cfg, ppd, &header);
  _DEVMODE devmode{};
  InitDevmode(&devmode, &header);
  _OEMPDEV pdev{};
  InitOemPDEV(&pdev, &header);
  unsetenv("PPD");
  ppdClose(ppd);
  return 0;
}
