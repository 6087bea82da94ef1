// tagColorCFG: the tone settings of one image handed to the area shrink and the resampler.
// Only brightness, contrast and levels are read; the rest of the record is kept zero.
#pragma once

#include <cstdint>

struct tagColorCFG {
  int16_t sBrightness;   // with sContrast: non-zero sends every output pixel through Light
  int16_t sContrast;     // the light table must already hold it (SetLightTable)
  int16_t sLevels;       // gamma x 100; 0 or 300 leaves tone table 0 unapplied
  int16_t sReserved[5];  // not read; callers leave it zero
};
