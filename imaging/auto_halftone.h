// Halftone method Auto: one label, codes that scan and pictures that keep their tones. Hard
// edges, the light area around them and near-black or near-white pixels are cut at the fixed
// threshold; smooth continuous-tone areas away from edges are error-diffused.
#pragma once

#include <cstdint>

// The Halftone code that selects Auto (codes 1 to 10 are the dithering methods).
constexpr int kHalftoneAuto = 11;

// Millimetres of light area around a strong edge that stay free of dither dots: quiet zones
// and the spaces of a code printed on a tinted background.
constexpr double kAutoGuardMm = 5.0;

// Halftones the 8-bit gray image src (borrowed, left unchanged) into dst (borrowed, same size
// and stride): 0 for a dot and 255 for none, swapped when negative. guard is kAutoGuardMm in
// dots. Every pixel the fixed threshold would see as part of a code, a glyph or a rule gets
// exactly the fixed threshold's value (white above 128). Returns 1, or 0 with dst untouched
// when the scratch memory cannot be had or the arguments are unusable.
int AutoHalftone(const uint8_t* src, uint8_t* dst, uint32_t height, uint32_t width, uint32_t stride,
                 uint32_t guard, bool negative);
