// Test support: raster streams written by libcups itself from a list of page descriptions.
// Malformed headers come from RasterPage::tweak; the bytes are still produced by libcups.
#include "tests/support/raster_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quorvel::test {
namespace {

uint32_t ColorCount(cups_cspace_t space) {
  for (cups_cspace_t one : {CUPS_CSPACE_W, CUPS_CSPACE_K, CUPS_CSPACE_SW, CUPS_CSPACE_WHITE,
                            CUPS_CSPACE_GOLD, CUPS_CSPACE_SILVER})
    if (space == one) return 1;
  for (cups_cspace_t four : {CUPS_CSPACE_RGBA, CUPS_CSPACE_RGBW, CUPS_CSPACE_CMYK, CUPS_CSPACE_YMCK,
                             CUPS_CSPACE_KCMY, CUPS_CSPACE_GMCK, CUPS_CSPACE_GMCS})
    if (space == four) return 4;
  return 3;
}

bool WritePage(cups_raster_t* ras, const RasterPage& page) {
  cups_page_header2_t header = MakeHeader(page);
  if (!cupsRasterWriteHeader2(ras, &header)) return false;
  uint64_t rows = page.rowsToWrite < 0 ? header.cupsHeight : uint64_t(page.rowsToWrite);
  const uint32_t bpl = header.cupsBytesPerLine;
  if (bpl == 0 || rows == 0) return true;
  std::vector<uint8_t> row(bpl);
  for (uint64_t y = 0; y < rows; ++y) {
    if (page.fill) {
      std::fill(row.begin(), row.end(), 0);
      page.fill(uint32_t(y), row.data(), bpl);
    } else {
      std::fill(row.begin(), row.end(), 0xFF);
    }
    if (cupsRasterWritePixels(ras, row.data(), bpl) != bpl) return false;
  }
  return true;
}

bool WriteRaster(int fd, const std::vector<RasterPage>& pages) {
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
  if (!ras) return false;
  bool ok = true;
  for (const RasterPage& page : pages) {
    if (!WritePage(ras, page)) {
      ok = false;
      break;
    }
  }
  cupsRasterClose(ras);
  return ok;
}

}  // namespace

cups_page_header2_t MakeHeader(const RasterPage& page) {
  cups_page_header2_t h{};
  h.HWResolution[0] = page.xdpi;
  h.HWResolution[1] = page.ydpi;
  h.NumCopies = page.copies;
  h.Collate = page.collate ? CUPS_TRUE : CUPS_FALSE;
  h.Orientation = page.orientation;
  if (page.xdpi && page.ydpi) {
    h.PageSize[0] = uint32_t(uint64_t(page.width) * 72 / page.xdpi);
    h.PageSize[1] = uint32_t(uint64_t(page.height) * 72 / page.ydpi);
  }
  h.ImagingBoundingBox[2] = h.PageSize[0];
  h.ImagingBoundingBox[3] = h.PageSize[1];
  h.cupsWidth = page.width;
  h.cupsHeight = page.height;
  h.cupsMediaType = 0;
  h.cupsBitsPerColor = page.bitsPerColor;
  h.cupsColorOrder = page.colorOrder;
  h.cupsColorSpace = page.colorSpace;
  h.cupsCompression = 0;
  h.cupsNumColors = ColorCount(page.colorSpace);
  h.cupsBitsPerPixel = page.colorOrder == CUPS_ORDER_CHUNKED ? page.bitsPerColor * h.cupsNumColors
                                                             : page.bitsPerColor;
  h.cupsBytesPerLine = uint32_t((uint64_t(page.width) * h.cupsBitsPerPixel + 7) / 8);
  if (page.tweak) page.tweak(h);
  return h;
}

bool WriteRasterFile(const std::string& path, const std::vector<RasterPage>& pages) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteRaster(fd, pages);
  return close(fd) == 0 && ok;
}

std::string RasterBytes(const std::vector<RasterPage>& pages) {
  FILE* tmp = tmpfile();
  if (!tmp) return {};
  std::string bytes;
  if (WriteRaster(fileno(tmp), pages)) {
    rewind(tmp);
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, tmp)) > 0) bytes.append(buf, n);
  }
  fclose(tmp);
  return bytes;
}

RowFiller SolidRgb(uint8_t r, uint8_t g, uint8_t b) {
  return [r, g, b](uint32_t, uint8_t* row, uint32_t bytes) {
    for (uint32_t i = 0; i + 2 < bytes; i += 3) {
      row[i] = r;
      row[i + 1] = g;
      row[i + 2] = b;
    }
  };
}

RowFiller SolidByte(uint8_t value) {
  return [value](uint32_t, uint8_t* row, uint32_t bytes) { std::fill(row, row + bytes, value); };
}

RowFiller GradientRgb() {
  return [](uint32_t y, uint8_t* row, uint32_t bytes) {
    for (uint32_t x = 0; 3 * x + 2 < bytes; ++x) {
      row[3 * x] = uint8_t(x);
      row[3 * x + 1] = uint8_t(y);
      row[3 * x + 2] = uint8_t(x + y);
    }
  };
}

}  // namespace quorvel::test
