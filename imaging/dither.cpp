// Halftoning of an 8-bit gray page by one of ten methods.
#include "imaging/bmp_processing.h"

int CBmpProcessing::Dither(int, uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t, bool) {
  return 1;  // not yet built
}
