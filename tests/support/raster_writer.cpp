// Test support: raster streams written by libcups itself from a list of page descriptions.
// Malformed headers come from RasterPage::tweak; the bytes are still produced by libcups.
#include "tests/support/raster_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace quorvel::test {
namespace {

bool WriteRaster(int fd, const std::vector<RasterPage>& pages) {
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
  bool ok = ras != nullptr;
  for (size_t i = 0; ok && i < pages.size(); ++i) {
    cups_page_header2_t header = MakeHeader(pages[i]);
    ok = cupsRasterWriteHeader2(ras, &header);
    const uint32_t bpl = header.cupsBytesPerLine;
    const int64_t rows = pages[i].rowsToWrite < 0 ? header.cupsHeight : pages[i].rowsToWrite;
    std::vector<uint8_t> row(bpl);
    for (int64_t y = 0; ok && bpl && y < rows; ++y) {
      std::fill(row.begin(), row.end(), pages[i].fill ? 0 : 0xFF);
      if (pages[i].fill) pages[i].fill(uint32_t(y), row.data(), bpl);
      ok = cupsRasterWritePixels(ras, row.data(), bpl) == bpl;
    }
  }
  if (ras) cupsRasterClose(ras);
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
    h.PageSize[0] = h.ImagingBoundingBox[2] = uint32_t(uint64_t(page.width) * 72 / page.xdpi);
    h.PageSize[1] = h.ImagingBoundingBox[3] = uint32_t(uint64_t(page.height) * 72 / page.ydpi);
  }
  h.cupsWidth = page.width;
  h.cupsHeight = page.height;
  h.cupsBitsPerColor = page.bitsPerColor;
  h.cupsColorOrder = page.colorOrder;
  h.cupsColorSpace = page.colorSpace;
  const cups_cspace_t s = page.colorSpace;
  h.cupsNumColors = s == CUPS_CSPACE_W || s == CUPS_CSPACE_K || s == CUPS_CSPACE_SW ? 1
                    : s == CUPS_CSPACE_CMYK || s == CUPS_CSPACE_RGBA                ? 4
                                                                                    : 3;
  h.cupsBitsPerPixel =
      page.bitsPerColor * (page.colorOrder == CUPS_ORDER_CHUNKED ? h.cupsNumColors : 1);
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
  std::string bytes;
  if (tmp && WriteRaster(fileno(tmp), pages) && fseek(tmp, 0, SEEK_END) == 0) {
    bytes.resize(size_t(ftell(tmp)));
    rewind(tmp);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), tmp));
  }
  if (tmp) fclose(tmp);
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
