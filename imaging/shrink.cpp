// Area-averaging shrink of an image (and an optional second image) with tone settings.
#include "imaging/bmp_processing.h"

int CBmpProcessing::InvoicQIShrinkImg2(uint32_t, uint32_t, uint32_t, uint32_t, const uint8_t*,
                                       const uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t**,
                                       uint8_t**, uint32_t, tagColorCFG, tagColorCFG, tagRECT) {
  return 0;  // not yet implemented
}
