// Writes a multi-page CUPS raster job of 4 x 6 inch shipping labels (24-bit RGB, chunky, as
// the CUPS chain sends for an RGB label PPD): text-like glyph lines, a Code 39 barcode, a
// QR-like module block, a gray photo-like gradient, a coloured logo and a long rule.
// Usage: make_sample_label OUTPUT.ras [PAGES [DPI]]   (defaults: 3 pages, 203 dpi)
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Canvas {
  int w, h;
  std::vector<uint8_t> rgb;  // R, G, B per pixel, rows top first
  Canvas(int width, int height) : w(width), h(height), rgb(size_t(width) * height * 3, 255) {}
  void Put(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
  }
  void Fill(int x0, int y0, int x1, int y1, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Put(x, y, r, g, b);
    }
  }
};

// A 5 x 7 font for the characters the label uses; each string is one glyph row, '#' inked.
struct Glyph {
  char c;
  const char* rows[7];
};
constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", "..##.", "..##."}},
    {':', {".....", "..##.", "..##.", ".....", "..##.", "..##.", "....."}},
    {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return &g;
  }
  return nullptr;  // spaces and unknown characters stay blank
}

// Draws text with each font dot `scale` pixels square, black unless `ink` says otherwise;
// returns the x after the text.
int DrawText(Canvas& cv, int x, int y, int scale, const std::string& text, uint8_t ink = 0) {
  for (char c : text) {
    if (const Glyph* g = FindGlyph(c)) {
      for (int r = 0; r < 7; ++r) {
        for (int k = 0; k < 5; ++k) {
          if (g->rows[r][k] == '#') {
            cv.Fill(x + k * scale, y + r * scale, x + (k + 1) * scale, y + (r + 1) * scale, ink,
                    ink, ink);
          }
        }
      }
    }
    x += 6 * scale;
  }
  return x;
}

// Code 39 digits and the start/stop '*': nine elements, bar first, 'w' wide and 'n' narrow.
const char* Code39(char c) {
  static const char* const kDigits[] = {"nnnwwnwnn", "wnnwnnnnw", "nnwwnnnnw", "wnwwnnnnn",
                                        "nnnwwnnnw", "wnnwwnnnn", "nnwwwnnnn", "nnnwnnwnw",
                                        "wnnwnnwnn", "nnwwnnwnn"};
  if (c >= '0' && c <= '9') return kDigits[c - '0'];
  return "nwnnwnwnn";  // '*'
}

void DrawBarcode(Canvas& cv, int x, int y, int module, int height, const std::string& digits) {
  const std::string text = "*" + digits + "*";
  for (char c : text) {
    const char* pattern = Code39(c);
    for (int e = 0; e < 9; ++e) {
      const int width = pattern[e] == 'w' ? 3 * module : module;
      if (e % 2 == 0) cv.Fill(x, y, x + width, y + height);
      x += width;
    }
    x += module;  // inter-character gap
  }
}

// A 29 x 29 module block with three finder squares and a fixed pseudo-random fill.
void DrawQrLike(Canvas& cv, int x, int y, int module, uint32_t seed) {
  constexpr int kModules = 29;
  auto finder = [&](int mx, int my) {
    cv.Fill(x + mx * module, y + my * module, x + (mx + 7) * module, y + (my + 7) * module);
    cv.Fill(x + (mx + 1) * module, y + (my + 1) * module, x + (mx + 6) * module,
            y + (my + 6) * module, 255, 255, 255);
    cv.Fill(x + (mx + 2) * module, y + (my + 2) * module, x + (mx + 5) * module,
            y + (my + 5) * module);
  };
  uint32_t state = seed * 2654435761u + 1;
  for (int my = 0; my < kModules; ++my) {
    for (int mx = 0; mx < kModules; ++mx) {
      state = state * 1664525u + 1013904223u;
      const bool inFinder =
          (mx < 8 && my < 8) || (mx >= kModules - 8 && my < 8) || (mx < 8 && my >= kModules - 8);
      if (!inFinder && (state >> 28) & 1) {
        cv.Fill(x + mx * module, y + my * module, x + (mx + 1) * module, y + (my + 1) * module);
      }
    }
  }
  finder(0, 0);
  finder(kModules - 7, 0);
  finder(0, kModules - 7);
}

// A photo-like patch: a diagonal gray ramp under a soft bright spot.
void DrawGradient(Canvas& cv, int x0, int y0, int x1, int y1) {
  const double cx = x0 + (x1 - x0) * 0.3, cy = y0 + (y1 - y0) * 0.4;
  const double radius = (x1 - x0) * 0.35;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const double t = double(x - x0) / (x1 - x0) * 0.7 + double(y - y0) / (y1 - y0) * 0.3;
      const double spot =
          std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (radius * radius));
      const double v = std::fmin(255.0, 255.0 * (1.0 - t) * 0.8 + 200.0 * spot);
      const uint8_t g = static_cast<uint8_t>(v);
      cv.Put(x, y, g, g, static_cast<uint8_t>(std::fmin(255.0, v * 1.05)));
    }
  }
}

void DrawLabel(Canvas& cv, int dpi, int page, int pages) {
  auto mm = [dpi](double v) { return static_cast<int>(v * dpi / 25.4 + 0.5); };
  const int s = std::max(1, dpi / 100);  // font dot size: about 0.25 mm
  const int w = cv.w;
  cv.Fill(mm(2), mm(2), w - mm(2), mm(2.6));  // frame
  cv.Fill(mm(2), cv.h - mm(2.6), w - mm(2), cv.h - mm(2));
  cv.Fill(mm(2), mm(2), mm(2.6), cv.h - mm(2));
  cv.Fill(w - mm(2.6), mm(2), w - mm(2), cv.h - mm(2));
  cv.Fill(mm(6), mm(6), mm(26), mm(20), 200, 30, 30);  // a red logo block
  DrawText(cv, mm(8), mm(10), 2 * s, "QEV", 255);
  DrawText(cv, mm(30), mm(7), 2 * s, "PRIORITY MAIL");
  DrawText(cv, mm(30), mm(14), s, "FROM: QEV LABS 12 DOCK ST");
  const std::vector<std::string> lines = {"SHIP TO:",   "ALEX MORGAN",       "4077 HARBOR VIEW RD",
                                          "SUITE 1200", "PORTLAND OR 97201", "UNITED STATES"};
  for (size_t i = 0; i < lines.size(); ++i) {
    DrawText(cv, mm(6), mm(26 + 6 * i), i == 1 ? 2 * s : s + (s + 1) / 2, lines[i]);
  }
  cv.Fill(mm(2), mm(64), w - mm(2), mm(64) + std::max(2, mm(0.5)));  // long rule
  char tracking[32];
  snprintf(tracking, sizeof tracking, "9400%06d%02d", 123457 + page * 17, page % 100);
  DrawText(cv, mm(6), mm(68), s, std::string("TRACKING # ") + tracking);
  DrawBarcode(cv, mm(6), mm(74), std::max(1, mm(0.25)), mm(22), tracking);
  DrawQrLike(cv, mm(6), mm(102), std::max(2, mm(1.2)), static_cast<uint32_t>(page));
  DrawGradient(cv, mm(48), mm(102), w - mm(6), mm(140));
  cv.Fill(mm(2), mm(144), w - mm(2), mm(144) + std::max(2, mm(0.5)));  // second rule
  char footer[48];
  snprintf(footer, sizeof footer, "PAGE %d OF %d", page, pages);
  DrawText(cv, mm(6), mm(147), s, footer);
}

bool WritePage(cups_raster_t* ras, const Canvas& cv, int dpi) {
  cups_page_header2_t h;
  memset(&h, 0, sizeof h);
  snprintf(h.MediaClass, sizeof h.MediaClass, "PwgRaster");
  h.HWResolution[0] = h.HWResolution[1] = static_cast<unsigned>(dpi);
  h.PageSize[0] = 288;  // 4 x 6 inch in points
  h.PageSize[1] = 432;
  h.ImagingBoundingBox[2] = 288;
  h.ImagingBoundingBox[3] = 432;
  h.NumCopies = 1;
  h.Orientation = CUPS_ORIENT_0;
  h.cupsWidth = static_cast<unsigned>(cv.w);
  h.cupsHeight = static_cast<unsigned>(cv.h);
  h.cupsBitsPerColor = 8;
  h.cupsBitsPerPixel = 24;
  h.cupsBytesPerLine = static_cast<unsigned>(cv.w) * 3;
  h.cupsColorOrder = CUPS_ORDER_CHUNKED;
  h.cupsColorSpace = CUPS_CSPACE_RGB;
  h.cupsNumColors = 3;
  if (!cupsRasterWriteHeader2(ras, &h)) return false;
  for (int y = 0; y < cv.h; ++y) {
    auto* row = const_cast<unsigned char*>(&cv.rgb[size_t(y) * cv.w * 3]);
    if (cupsRasterWritePixels(ras, row, h.cupsBytesPerLine) != h.cupsBytesPerLine) return false;
  }
  return true;
}

}  // namespace

// A whole decimal number, or -1 (which every range check refuses) for anything else.
static int WholeNumber(const char* text) {
  char* end = nullptr;
  const long value = strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= 0 && value <= 1000000 ? int(value) : -1;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    fprintf(stderr, "usage: %s OUTPUT.ras [PAGES [DPI]]\n", argv[0]);
    return 2;
  }
  const int pages = argc >= 3 ? WholeNumber(argv[2]) : 3;
  const int dpi = argc >= 4 ? WholeNumber(argv[3]) : 203;
  if (pages < 1 || pages > 10000 || dpi < 50 || dpi > 1200) {
    fprintf(stderr, "PAGES must be 1..10000 and DPI 50..1200\n");
    return 2;
  }
  const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
  bool ok = ras != nullptr;
  const int w = 4 * dpi, h = 6 * dpi;
  for (int page = 1; ok && page <= pages; ++page) {
    Canvas cv(w, h);
    DrawLabel(cv, dpi, page, pages);
    ok = WritePage(ras, cv, dpi);
  }
  if (ras) cupsRasterClose(ras);
  close(fd);
  if (!ok) {
    fprintf(stderr, "could not write the raster to %s\n", argv[1]);
    return 1;
  }
  printf("%s: %d page(s) of %d x %d pixels at %d dpi\n", argv[1], pages, w, h, dpi);
  return 0;
}
