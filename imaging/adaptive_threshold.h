// Free threshold functions of the page pipeline's adaptive halftone: histogram threshold
// selection with an explicit stride, bilinear spreading of a block grid, and the threshold.
#pragma once

#include <cstdint>

#include "imaging/gdi_types.h"

// Threshold 0..255 of the image (or of the half-open region, rows counted from bottom to top),
// or -1 for a null image or an empty region. image and region are borrowed.
int OptimalThreshold(int method, const uint8_t* image, int width, int height, int stride,
                     const tagRECT* region);

// Bilinear resize of an 8-bit image into a new calloc buffer handed over through *dst (rows
// padded to 4 bytes). Returns 0 for a zero destination size; 1 otherwise, leaving *dst alone
// when the size is unchanged or the buffer cannot be made.
int Resample(const uint8_t* src, int srcWidth, int srcHeight, int srcStride, int dstWidth,
             int dstHeight, uint8_t** dst);

// Black (0) and white (255) image made against a smoothly varying threshold; the new buffer is
// handed over through *out and its length through *outLen. Returns 1 on success, 0 on failure
// (nothing stored).
int AdaptiveThreshold(const uint8_t* image, int width, int height, int stride, uint8_t** out,
                      int* outLen, bool negative, int method, int blockSize, int bias, float mix);
