// Page to cropped 8-bit gray: rotation, tone, gray conversion, column limit and byte-aligned
// crop to the content in one pass over the page.
#include "imaging/bmp_processing.h"

bool CBmpProcessing::CoverBMP2OutputFormat(const uint8_t*, uint32_t, uint8_t**, uint32_t*,
                                           tagBITMAPINFOHEADER*, tagRECT*, int, int, int,
                                           COLORLEVELSITEM, bool, int, int, int, int16_t) {
  return false;  // not yet built
}
