// Scaling a whole page to a new size: the dispatch between area shrink and resampling that
// both of the page pipeline's scaling stages share.
#include "render/page_scale.h"

namespace quorvel::render {

MallocBytes ScalePage(CBmpProcessing& proc, const uint8_t* src, uint32_t w, uint32_t h,
                      uint32_t bpp, uint32_t stride, uint32_t newW, uint32_t newH, uint64_t size,
                      bool shrink) {
  MallocBytes scaled = AllocFilled(size, 255);
  if (!scaled) return nullptr;
  uint8_t* out = scaled.get();
  const tagColorCFG none{};
  const tagRECT zero{};
  const auto outSize = static_cast<uint32_t>(size);
  const int done = shrink ? proc.InvoicQIShrinkImg2(w, h, bpp, stride, src, nullptr, newW, newH,
                                                    bpp, &out, nullptr, outSize, none, none, zero)
                          : proc.InvoicResampleImg2(w, h, bpp, stride, src, newW, newH, bpp, &out,
                                                    outSize, none, 0, zero);
  if (!done) return nullptr;
  return scaled;
}

}  // namespace quorvel::render
