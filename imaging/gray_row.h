// Blue-green-red rows to 8-bit gray without tone or light tables: the common path of the
// output conversion. Kept apart so its fast form can be checked against the plain one.
#pragma once

#include <cstdint>

// Writes the gray value of each of the `n` three-byte pixels (blue, green, red) at `src` to
// `out`: 255 when all three are 250 or more, else (11 red + 16 green + 5 blue) >> 5.
void GrayRowBgr(const uint8_t* src, int64_t n, uint8_t* out);

// The same, one pixel at a time: the reference the fast form must match.
void GrayRowBgrPlain(const uint8_t* src, int64_t n, uint8_t* out);
