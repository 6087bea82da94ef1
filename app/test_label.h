// The calibration label of the web page's "Print Test Page": rulers in millimetres, the
// label's size and resolution, a gray wedge and a barcode, so offset, darkness and
// halftone show on one label.
#pragma once

#include <pappl/pappl.h>

#include <cstdint>
#include <string>
#include <vector>

// An 8-bit gray image (0 black, 255 white), rows top first.
struct GrayImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// The calibration label for a label of the given size (hundredths of mm) and resolution.
GrayImage DrawTestLabel(int widthHmm, int lengthHmm, int dpi);

// Writes `image` as a grayscale PNG with its resolution; false on any error.
bool WriteGrayPng(const GrayImage& image, int dpi, const std::string& path);

// PAPPL's test page callback: the label for the printer's ready media, as a PNG file.
const char* TestLabelCallback(pappl_printer_t* printer, char* buffer, size_t bufsize);
