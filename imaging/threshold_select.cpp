// Histogram threshold selection (four criteria and their average) and the block-wise local
// threshold of the image processor.
#include "imaging/bmp_processing.h"

int64_t CBmpProcessing::OptimalThreshold(const uint8_t*, uint32_t, uint32_t, uint32_t, int64_t,
                                         const tagRECT*, void*, uint32_t, uint32_t, uint32_t) {
  return -1;  // not yet built
}

int CBmpProcessing::AdThresholdImgLocal(uint32_t, uint32_t, uint32_t, uint32_t, const uint8_t*,
                                        uint32_t, uint8_t**, uint32_t*, bool, bool) {
  return 0;  // not yet built
}
