// Plain geometry and bitmap records shared by the image operations, the renderer and the
// job records. Layouts follow the BMP file format, so a header can be written out as is.
#pragma once

#include <cstdint>

struct tagRECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct tagPOINT {
  int32_t x;
  int32_t y;
};

struct tagRGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

// The 40-byte BMP info header; the image operations use biWidth, biHeight, biBitCount and
// biSizeImage only.
struct tagBITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(tagBITMAPINFOHEADER) == 40, "BMP info header must be 40 bytes");
