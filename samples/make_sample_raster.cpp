// Writes the bundled sample job: CUPS raster pages of a 50 x 30 mm label at 203 dpi
// (400 x 240 pixels, 24-bit RGB, as the CUPS chain sends for the sample PPD), drawn with a
// frame, bars, a gray ramp and a checker block so halftoning and packing are visible.
// Usage: make_sample_raster OUTPUT.ras [PAGES]
#include <cstdio>
#include <cstdlib>

#include "tests/support/raster_writer.h"

namespace {

constexpr uint32_t kWidth = 400;
constexpr uint32_t kHeight = 240;

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
  std::vector<quorvel::test::RasterPage> job;
  for (int n = 0; n < pages; ++n) {
    quorvel::test::RasterPage page;
    page.width = kWidth;
    page.height = kHeight;
    page.fill = [n](uint32_t y, uint8_t* row, uint32_t bytes) {
      for (uint32_t x = 0; 3 * x + 2 < bytes; ++x) {
        const uint8_t g = LabelGray(x, y, n);
        row[3 * x] = g;
        row[3 * x + 1] = g;
        row[3 * x + 2] = g;
      }
    };
    job.push_back(page);
  }
  if (!quorvel::test::WriteRasterFile(argv[1], job)) {
    fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
