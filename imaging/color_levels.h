// COLORLEVELSITEM: one tone curve (gamma with input and output range), passed by value
// between the page pipeline and the image processor.
#pragma once

#include <cstdint>

struct COLORLEVELSITEM {
  float gamma = 1.0f;        // exponent applied to the normalised input
  uint8_t inputLow = 0;      // input level mapped to the bottom of the curve
  uint8_t inputHigh = 255;   // input level mapped to the top; must exceed inputLow
  uint8_t outputLow = 0;     // output level of the bottom of the curve
  uint8_t outputHigh = 255;  // output level of the top of the curve
};
static_assert(sizeof(COLORLEVELSITEM) == 8, "a levels item is 8 bytes");
