// Fuzz target: the whole filter in process (RunFilter) on arbitrary raster bytes with a fixed
// PPD and an arbitrary option string. Input: one length byte N, N bytes of options, then the
// raster stream. The TSPL goes to /dev/null; the trace is formatted but not written.
#include <cups/raster.h>
#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "filter/rastoqevtspl.h"
#include "fuzz/fuzz_support.h"

namespace {

// Caps that keep one run short; inputs beyond them only repeat the same arithmetic at length.
constexpr int kMaxPages = 6;
constexpr uint64_t kMaxPixels = 1 << 16;     // pixels of one raster page
constexpr uint64_t kMaxPageData = 4u << 20;  // bytes of one raster page
constexpr double kMaxPrinterPixels = 2.5e5;  // pixels of a page at the printer resolution
constexpr double kPrinterDpi = 203.0;        // OutputDPI of the fixed PPD

// Reads the stream as the page loop will and says whether every page is within the caps.
bool WithinCaps(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  bool ok = true;
  int pages = 0;
  cups_page_header2_t h;
  std::vector<uint8_t> sink(1 << 16);
  while (ok && raster && cupsRasterReadHeader2(raster, &h)) {
    const uint64_t data = uint64_t(h.cupsBytesPerLine) * h.cupsHeight;
    const double xdpi = std::max(1u, h.HWResolution[0]), ydpi = std::max(1u, h.HWResolution[1]);
    const double printer = (h.cupsWidth * kPrinterDpi / xdpi) * (h.cupsHeight * kPrinterDpi / ydpi);
    ok = ++pages <= kMaxPages && uint64_t(h.cupsWidth) * h.cupsHeight <= kMaxPixels &&
         data <= kMaxPageData && printer <= kMaxPrinterPixels;
    for (uint64_t left = ok ? data : 0; left > 0;) {
      const unsigned n = unsigned(std::min<uint64_t>(left, sink.size()));
      if (cupsRasterReadPixels(raster, sink.data(), n) != n) break;
      left -= n;
    }
  }
  if (raster) cupsRasterClose(raster);
  close(fd);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("PPD", QEV_FUZZ_PPD, 1);
  fflush(stdout);
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  quorvel::fuzz::QuietTrace();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t optionLen = std::min<size_t>(data[0], size - 1);
  std::string options(reinterpret_cast<const char*>(data + 1), optionLen);
  options = options.c_str();  // argv strings end at their first NUL
  quorvel::fuzz::MemFile raster(data + 1 + optionLen, size - 1 - optionLen);
  if (!raster.ok() || !WithinCaps(raster.path)) return -1;
  std::string args[] = {"rastertoqevcp", "1", "fuzz", "title", "1", options, raster.path};
  char* argv[] = {&args[0][0], &args[1][0], &args[2][0], &args[3][0],
                  &args[4][0], &args[5][0], &args[6][0], nullptr};
  RunFilter(7, argv);
  return 0;
}
