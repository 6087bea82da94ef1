// Adaptive threshold of the page pipeline.
#include "imaging/adaptive_threshold.h"

int OptimalThreshold(int, const uint8_t*, int, int, int, const tagRECT*) { return -1; }
int Resample(const uint8_t*, int, int, int, int, int, uint8_t**) { return 0; }
int AdaptiveThreshold(const uint8_t*, int, int, int, uint8_t**, int*, bool, int, int, int, float) {
  return 0;
}
