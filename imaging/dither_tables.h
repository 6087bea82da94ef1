// Constant threshold matrices of the ordered dithering methods 3, 5, 7, 8 and 9; the data
// lives in dither_tables.cpp so the code that reads it stays short.
#pragma once

#include <cstdint>

extern const uint8_t kDitherM3[16][16];  // method 3: white if v >= M3
extern const uint8_t kDitherM5[40][40];  // method 5: white if v >= M5
extern const uint8_t kDitherT7[15][15];  // method 7: levels 0..15, white if q > T7
extern const uint8_t kDitherB4[4][4];    // method 8: levels 0..15, white if q > B4
extern const uint8_t kDitherM9[8][16];   // method 9: levels 0..128, white if q > M9
