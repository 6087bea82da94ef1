// Red-blue swap: 16-byte shuffles (five pixels per step) where the CPU has SSSE3, the plain
// loop for the rest of the row and on other CPUs. Results are identical byte for byte.
#include "filter/pixel_swap.h"

#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEV_HAVE_SSSE3_PATH 1
#endif

void SwapRedBluePlain(uint8_t* row, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
}

#ifdef QEV_HAVE_SSSE3_PATH
namespace {

// Swaps five whole pixels (15 bytes) per 16-byte load; byte 15, the next pixel's first
// byte, is stored back unchanged and handled by the next step.
__attribute__((target("ssse3"))) uint32_t SwapRedBlueSsse3(uint8_t* row, uint32_t width) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  uint32_t x = 0;
  // Each step reads and writes 16 bytes: stop while a whole load stays inside the row.
  for (; 3 * uint64_t(x) + 16 <= 3 * uint64_t(width); x += 5) {
    __m128i* p = reinterpret_cast<__m128i*>(row + 3 * uint64_t(x));
    _mm_storeu_si128(p, _mm_shuffle_epi8(_mm_loadu_si128(p), order));
  }
  return x;
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

}  // namespace
#endif

void SwapRedBlue(uint8_t* row, uint32_t width) {
  uint32_t done = 0;
#ifdef QEV_HAVE_SSSE3_PATH
  if (HasSsse3()) done = SwapRedBlueSsse3(row, width);
#endif
  SwapRedBluePlain(row + 3 * uint64_t(done), width - done);
}
