// The red-blue swap of the page read: raster rows arrive R, G, B and the page buffer holds
// B, G, R. Kept apart so its fast form can be checked against the plain one.
#pragma once

#include <cstdint>

// Swaps the first and third byte of each of the `width` three-byte pixels at `row`, in place.
void SwapRedBlue(uint8_t* row, uint32_t width);

// The same, one pixel at a time: the reference the fast form must match.
void SwapRedBluePlain(uint8_t* row, uint32_t width);
