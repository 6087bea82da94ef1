// PNG output of a label image through libpng: rows packed eight dots to a byte,
// 1 = white as one-bit gray requires, pHYs carrying the printer's dots per metre.
#include "tools/tspl2png/png_writer.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quorvel::tspl {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

// The libpng calls, in a frame that holds no C++ objects, since a libpng error returns
// here through longjmp.  row is a scratch buffer of (width + 7) / 8 bytes.
bool EncodeRows(png_structp png, png_infop info, FILE* file, const Label& label, int dpi,
                png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, label.width, label.height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const png_uint_32 per_metre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, per_metre, per_metre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  const size_t rowBytes = (static_cast<size_t>(label.width) + 7) / 8;
  for (int y = 0; y < label.height; ++y) {
    memset(row, 0xFF, rowBytes);
    for (int x = 0; x < label.width; ++x) {
      if (label.Printed(x, y)) row[x / 8] &= static_cast<png_byte>(~(0x80 >> (x % 8)));
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePng(const std::string& path, const Label& label, int dpi, std::string* error) {
  std::unique_ptr<FILE, FileCloser> file(fopen(path.c_str(), "wb"));
  if (!file) {
    *error = "cannot open " + path + " for writing";
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    *error = "libpng could not start";
    return false;
  }
  std::vector<png_byte> row((static_cast<size_t>(label.width) + 7) / 8 + 1);
  const bool encoded = EncodeRows(png, info, file.get(), label, dpi, row.data());
  png_destroy_write_struct(&png, &info);
  if (!encoded || fflush(file.get()) != 0 || ferror(file.get())) {
    *error = "error while writing " + path;
    return false;
  }
  return true;
}

}  // namespace quorvel::tspl
