// Histogram threshold selection shared by the image processor's OptimalThreshold and the free
// function of the same name: four classic criteria and the average of their answers.
#pragma once

#include <cstdint>

#include "imaging/gdi_types.h"

// Half-open pixel ranges of a threshold region: columns [x0, x1), rows [y0, y1). The region's
// rows count upward (bottom to top), both edges clipped to the image.
struct ThresholdRegion {
  int64_t x0, x1, y0, y1;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
ThresholdRegion ClipThresholdRegion(const tagRECT* region, int64_t width, int64_t height);

// Counts of the region's gray levels into hist[256].
void BuildHistogram(const uint8_t* image, int64_t stride, const ThresholdRegion& region,
                    double hist[256]);

// Threshold chosen from a non-empty histogram by method 1 (Otsu), 2 (Kittler-Illingworth),
// 3 (maximum entropy), 4 (potential difference) or the average of them (any other value).
// When levels 0..254 are empty, the result is whiteResult.
int64_t SelectThreshold(const double hist[256], int64_t method, int64_t whiteResult);
