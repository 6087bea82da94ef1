// Halftoning helpers of CBmpProcessing::Dither that are worth reaching on their own: the
// run-time build of method 10's scaled Bayer matrix.
#pragma once

#include <cstdint>

// Fills table[i * 4 + j] (i, j in 0..3) with method 10's threshold for row i, column j:
// (j0 ^ i0) * 128 + j0 * 64 + (j1 ^ i1) * 32 + j1 * 16, where x0 and x1 are the low bits of x.
// table must hold at least 16 bytes.
void BuildDitherT10(uint8_t* table);
