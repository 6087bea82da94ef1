// Writes the bundled sample job: CUPS raster pages of a 50 x 30 mm label at 203 dpi
// (400 x 240 pixels, 24-bit RGB, as the CUPS chain sends for the sample PPD), drawn with a
// frame, bars, a gray ramp and a checker block so halftoning and packing are visible.
// Usage: make_sample_raster OUTPUT.ras [PAGES]
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint32_t kWidth = 400;
constexpr uint32_t kHeight = 240;
constexpr uint32_t kDpi = 203;

uint8_t LabelGray(uint32_t x, uint32_t y, int page) {
  if (x < 6 || y < 6 || x >= kWidth - 6 || y >= kHeight - 6) return 0;  // frame
  if (y >= 24 && y < 96 && x >= 24 && x < 376) {                        // bars
    const uint32_t bar = (x - 24) / (3 + (x / 40 + page) % 3);
    return bar % 2 ? 255 : 0;
  }
  if (y >= 120 && y < 168 && x >= 24 && x < 376) return uint8_t((x - 24) * 255 / 351);  // ramp
  if (y >= 184 && y < 224 && x >= 24 && x < 104) return ((x / 8 + y / 8) % 2) ? 0 : 255;
  return 255;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: %s OUTPUT.ras [PAGES]\n", argv[0]);
    return 2;
  }
  char* end = nullptr;
  const long pages = argc == 3 ? strtol(argv[2], &end, 10) : 1;
  if (argc == 3 && (end == argv[2] || *end != '\0' || pages < 1 || pages > 10000)) {
    fprintf(stderr, "PAGES must be 1..10000\n");
    return 2;
  }
  const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  // What the CUPS chain sends for the sample PPD: 24-bit chunky RGB at 203 dpi, one copy.
  cups_page_header2_t h{};
  h.HWResolution[0] = h.HWResolution[1] = kDpi;
  h.NumCopies = 1;
  h.PageSize[0] = h.ImagingBoundingBox[2] = kWidth * 72 / kDpi;
  h.PageSize[1] = h.ImagingBoundingBox[3] = kHeight * 72 / kDpi;
  h.cupsWidth = kWidth;
  h.cupsHeight = kHeight;
  h.cupsBitsPerColor = 8;
  h.cupsColorOrder = CUPS_ORDER_CHUNKED;
  h.cupsColorSpace = CUPS_CSPACE_RGB;
  h.cupsNumColors = 3;
  h.cupsBitsPerPixel = 24;
  h.cupsBytesPerLine = kWidth * 3;
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
  bool ok = ras != nullptr;
  std::vector<uint8_t> row(h.cupsBytesPerLine);
  for (int n = 0; ok && n < pages; ++n) {
    ok = cupsRasterWriteHeader2(ras, &h);
    for (uint32_t y = 0; ok && y < kHeight; ++y) {
      for (uint32_t x = 0; x < kWidth; ++x)
        row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = LabelGray(x, y, n);
      ok = cupsRasterWritePixels(ras, row.data(), h.cupsBytesPerLine) == h.cupsBytesPerLine;
    }
  }
  if (ras) cupsRasterClose(ras);
  if (close(fd) != 0 || !ok) {
    fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
