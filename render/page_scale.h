// Scaling a whole page to a new size, as the page pipeline does twice (to the printer
// resolution and to the widest printable width): one dispatch between the area shrink and
// the resampling, one fill for the bytes they leave alone, one check of their result.
#pragma once

#include <cstdint>

#include "base/owned.h"
#include "imaging/bmp_processing.h"

namespace quorvel::render {

// The image src (w x h, bpp bits a pixel, stride bytes a row; borrowed) scaled to newW x newH
// in a new buffer of `size` bytes: area shrink when `shrink`, resampling otherwise. No tone
// settings are applied (the conversion applies them once). Bytes the scaling does not write
// (row padding) are white, so that nothing unwritten can ever print as dots. Null when
// memory runs out or the scaling fails.
MallocBytes ScalePage(CBmpProcessing& proc, const uint8_t* src, uint32_t w, uint32_t h,
                      uint32_t bpp, uint32_t stride, uint32_t newW, uint32_t newH, uint64_t size,
                      bool shrink);

}  // namespace quorvel::render
