// Fuzz target: every image operation of the page pipeline and the image processor (the first
// byte choosing which) with arbitrary sizes, strides, rectangles, settings and pixels. Every
// byte an operation reports is read, so a result shorter than it claims is caught.
#include <cstdint>

#include "fuzz/imaging_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel::fuzz::Reader r(data, size, [](const uint8_t* p, size_t n) {
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum = uint8_t(sum + p[i]);
  });
  quorvel::fuzz::RunImagingOp(r.Byte(), r);
  return 0;
}
