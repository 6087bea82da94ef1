// Draws the calibration label in printer dots and writes it as a PNG that PAPPL prints
// like any other image job, so the test label goes through the same filter as user jobs.
#include "app/test_label.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// 3 x 5 glyphs, one row of three bits per entry, top row first.
struct Glyph {
  char symbol;
  uint8_t rows[5];
};
const Glyph kFont[] = {{'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},
                       {'3', {7, 1, 7, 1, 7}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}},
                       {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}}, {'8', {7, 5, 7, 5, 7}},
                       {'9', {7, 5, 7, 1, 7}}, {'x', {0, 5, 2, 5, 0}}, {'m', {0, 7, 7, 5, 5}},
                       {'d', {1, 1, 7, 5, 7}}, {'p', {7, 5, 7, 4, 4}}, {'i', {2, 0, 2, 2, 2}},
                       {'.', {0, 0, 0, 0, 2}}, {' ', {0, 0, 0, 0, 0}}};

// Interleaved 2 of 5: wide elements of each digit (bit 4 = first element).
const uint8_t kI25[10] = {0x06, 0x11, 0x09, 0x18, 0x05, 0x14, 0x0C, 0x03, 0x12, 0x0A};

class Canvas {
 public:
  Canvas(GrayImage* image) : img_(image) {}
  void Fill(int x0, int y0, int x1, int y1, uint8_t gray) {  // [x0, x1) x [y0, y1)
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, img_->width), y1 = std::min(y1, img_->height);
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        img_->pixels[size_t(y) * size_t(img_->width) + size_t(x)] = gray;
  }
  // Text in the 3 x 5 font, `scale` dots per font pixel; returns the width drawn.
  int Text(int x, int y, const char* text, int scale) {
    int start = x;
    for (const char* p = text; *p; p++, x += 4 * scale)
      for (const Glyph& g : kFont)
        if (g.symbol == *p)
          for (int r = 0; r < 5; r++)
            for (int b = 0; b < 3; b++)
              if (g.rows[r] & (4 >> b))
                Fill(x + b * scale, y + r * scale, x + (b + 1) * scale, y + (r + 1) * scale, 0);
    return x - start;
  }

 private:
  GrayImage* img_;
};

int Dots(double mm, int dpi) { return int(mm * dpi / 25.4 + 0.5); }

// Width of `text` in the 3 x 5 font: four font pixels a character less the last gap.
int TextWidth(const std::string& text, int scale) { return (4 * int(text.size()) - 1) * scale; }

void DrawRulers(Canvas& c, const GrayImage& img, int dpi, int scale) {
  int widthMm = int(img.width * 25.4 / dpi), lengthMm = int(img.height * 25.4 / dpi);
  int line = std::max(1, dpi / 200);
  for (int mm = 0; mm <= widthMm; mm++) {
    int x = Dots(mm, dpi), len = Dots(mm % 10 == 0 ? 3 : mm % 5 == 0 ? 2 : 1, dpi);
    c.Fill(x, 0, x + line, len, 0);
    std::string number = std::to_string(mm);
    if (mm % 10 == 0 && mm > 0 && x + line + 1 + TextWidth(number, scale) <= img.width)
      c.Text(x + line + 1, Dots(1.5, dpi), number.c_str(), scale);
  }
  for (int mm = 0; mm <= lengthMm; mm++) {
    int y = Dots(mm, dpi), len = Dots(mm % 10 == 0 ? 3 : mm % 5 == 0 ? 2 : 1, dpi);
    c.Fill(0, y, len, y + line, 0);
    if (mm % 10 == 0 && mm > 0 && y + line + 1 + 5 * scale <= img.height)
      c.Text(Dots(1.5, dpi), y + line + 1, std::to_string(mm).c_str(), scale);
  }
}

void DrawBarcode(Canvas& c, const std::string& digits, int x, int y, int maxWidth, int maxNarrow,
                 int height) {
  // Start (4 narrow), two wide and three narrow elements per digit, stop (wide + 2 narrow),
  // with narrow = 1 and wide = 3 modules.
  int modules = 4 + int(digits.size()) * 9 + 5;
  // Room for quiet zones of 10 modules; a fine module shows darkness and bar growth best.
  int narrow = std::min(maxWidth / (modules + 20), maxNarrow);
  if (narrow < 1 || height <= 0) return;
  x += 10 * narrow;
  auto element = [&](bool bar, bool wide) {
    int w = wide ? 3 * narrow : narrow;
    if (bar) c.Fill(x, y, x + w, y + height, 0);
    x += w;
  };
  for (int i = 0; i < 4; i++) element(i % 2 == 0, false);
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    uint8_t bars = kI25[digits[i] - '0'], spaces = kI25[digits[i + 1] - '0'];
    for (int e = 4; e >= 0; e--) {
      element(true, bars >> e & 1);
      element(false, spaces >> e & 1);
    }
  }
  element(true, true);
  element(false, false);
  element(true, false);
}

}  // namespace

GrayImage DrawTestLabel(int widthHmm, int lengthHmm, int dpi) {
  GrayImage img;
  // Truncated like PAPPL's page raster, so the image reaches the filter unscaled: a scale
  // by one dot less would drop a row or column of rulers and bars.
  img.width = int(int64_t(widthHmm) * dpi / 2540);
  img.height = int(int64_t(lengthHmm) * dpi / 2540);
  if (img.width <= 0 || img.height <= 0 || img.width > 20000 || img.height > 100000) return {};
  img.pixels.assign(size_t(img.width) * size_t(img.height), 255);
  Canvas c(&img);
  int scale = std::max(1, Dots(0.4, dpi));
  DrawRulers(c, img, dpi, scale);

  int left = Dots(5, dpi), right = img.width - Dots(2, dpi);
  int widthMm = (widthHmm + 50) / 100, lengthMm = (lengthHmm + 50) / 100;
  std::string caption = std::to_string(widthMm) + "x" + std::to_string(lengthMm) + "mm " +
                        std::to_string(dpi) + "dpi";
  int y = Dots(5, dpi);
  c.Text(left, y, caption.c_str(), scale);
  y += 7 * scale;

  // Gray wedge: eleven steps from white to black in a one-dot frame, so its light end
  // shows where it begins whatever the halftone makes of it.
  int wedgeHeight = Dots(4, dpi);
  c.Fill(left - 1, y - 1, right + 1, y + wedgeHeight + 1, 0);
  for (int step = 0; step <= 10; step++) {
    int x0 = left + (right - left) * step / 11, x1 = left + (right - left) * (step + 1) / 11;
    c.Fill(x0, y, x1, y + wedgeHeight, uint8_t(255 - step * 255 / 10));
  }
  y += wedgeHeight + Dots(1.5, dpi);

  char digits[16];
  snprintf(digits, sizeof digits, "%04d%04d", widthMm % 10000, lengthMm % 10000);
  DrawBarcode(c, digits, left, y, right - left, std::max(1, Dots(0.4, dpi)),
              std::min(img.height - Dots(2, dpi) - y, Dots(15, dpi)));
  return img;
}

bool WriteGrayPng(const GrayImage& image, int dpi, const std::string& path) {
  if (image.width <= 0 || image.height <= 0) return false;
  FILE* fp = fopen(path.c_str(), "wb");
  if (!fp) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, fp);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_uint_32 ppm = png_uint_32(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < image.height; y++)
      png_write_row(png, &image.pixels[size_t(y) * size_t(image.width)]);
    png_write_end(png, info);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return fclose(fp) == 0 && ok;
}

const char* TestLabelCallback(pappl_printer_t* printer, char* buffer, size_t bufsize) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const pappl_media_col_t& media =
      data.media_ready[0].size_width > 0 ? data.media_ready[0] : data.media_default;
  GrayImage label = DrawTestLabel(media.size_width, media.size_length, data.x_resolution[0]);
  int fd = papplPrinterOpenFile(printer, buffer, bufsize, nullptr, "testlabel", "png", "w");
  if (fd < 0) return nullptr;
  close(fd);
  if (!WriteGrayPng(label, data.x_resolution[0], buffer)) {
    unlink(buffer);
    return nullptr;
  }
  return buffer;
}
