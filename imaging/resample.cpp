// Resampling of an image to any size through the interpolated samplers.
#include "imaging/bmp_processing.h"

int CBmpProcessing::InvoicResampleImg2(uint32_t, uint32_t, uint32_t, uint32_t, const uint8_t*,
                                       uint32_t, uint32_t, uint32_t, uint8_t**, uint32_t,
                                       tagColorCFG, int32_t, tagRECT) {
  return 1;  // not yet implemented
}
