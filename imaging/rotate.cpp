// Quarter and half turns of 8- and 24-bit images, and the breaking of black runs into dashes.
#include "imaging/bmp_processing.h"

bool CBmpProcessing::RotateImgData(const uint8_t*, uint32_t, tagRECT, tagBITMAPINFOHEADER*,
                                   int16_t, uint8_t**, uint32_t*, tagRECT*) {
  return false;  // not yet built
}

int CBmpProcessing::ResetBlackLineData(uint8_t* buf, uint32_t, int16_t, int16_t, int16_t) {
  return buf ? 1 : 0;  // not yet built
}
