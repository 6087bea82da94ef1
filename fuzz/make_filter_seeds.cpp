// Writes the seed inputs of the filter fuzz target (one length byte, the option string, then
// a raster stream written by libcups) into the directory named by argv[1]. Run once by hand;
// the outputs are committed under fuzz/corpus/filter/.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"

using quorvel::test::RasterPage;

namespace {

void Seed(const std::string& dir, const std::string& name, const std::string& options,
          const std::vector<RasterPage>& pages) {
  std::string bytes(1, char(options.size()));
  bytes += options + quorvel::test::RasterBytes(pages);
  if (!quorvel::test::WriteFile(dir + "/seed-" + name, bytes))
    fprintf(stderr, "cannot write %s\n", name.c_str());
}

RasterPage Page(uint32_t w, uint32_t h, quorvel::test::RowFiller fill) {
  RasterPage p;
  p.width = w;
  p.height = h;
  p.fill = std::move(fill);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const std::string dir = argv[1];
  Seed(dir, "rgb", "", {Page(24, 12, quorvel::test::GradientRgb())});
  Seed(
      dir, "two-pages", "Halftone=c4 Rotation=c1",
      {Page(40, 16, quorvel::test::SolidRgb(0, 0, 0)), Page(16, 40, quorvel::test::GradientRgb())});
  RasterPage gray = Page(20, 10, quorvel::test::SolidByte(0x40));
  gray.colorSpace = CUPS_CSPACE_K;
  gray.bitsPerColor = 1;
  RasterPage lowres = Page(10, 6, quorvel::test::GradientRgb());
  lowres.xdpi = lowres.ydpi = 100;
  Seed(dir, "gray-lowres", "IsToDashed=c1 SavePaper=c1 PrintMode=c1 AutoRotate=c1", {gray, lowres});
  RasterPage truncated = Page(30, 30, quorvel::test::SolidRgb(10, 200, 30));
  truncated.rowsToWrite = 5;
  Seed(dir, "truncated", "Levels=c50 Brightness=c200 Contrast=cm50 Mirror=c1", {truncated});
  // Enumerated header fields holding no enumerator (read once as enum values: undefined).
  RasterPage odd = Page(12, 6, quorvel::test::GradientRgb());
  odd.tweak = [](cups_page_header2_t& h) {
    const uint32_t duplex = 524288, orientation = 77, collate = 5;
    memcpy(&h.Duplex, &duplex, sizeof duplex);
    memcpy(&h.Orientation, &orientation, sizeof orientation);
    memcpy(&h.Collate, &collate, sizeof collate);
  };
  RasterPage space = Page(12, 6, quorvel::test::GradientRgb());
  space.tweak = [](cups_page_header2_t& h) {
    const uint32_t value = 513;
    memcpy(&h.cupsColorSpace, &value, sizeof value);
  };
  Seed(dir, "enum-values", "", {odd, space});
  return 0;
}
