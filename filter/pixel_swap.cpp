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

// Swaps five whole pixels (15 bytes) per 16-byte shuffle; byte 15, the next pixel's first
// byte, is stored back unchanged and swapped by the next step. Each step loads its successor
// before storing, so no load ever reads bytes that a pending store is still writing (which
// would stall the load until the store completes). Returns the pixels done.
__attribute__((target("ssse3"))) uint32_t SwapRedBlueSsse3(uint8_t* row, uint32_t width) {
  const uint64_t bytes = 3 * uint64_t(width);
  if (bytes < 16) return 0;
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  uint64_t at = 0;
  __m128i cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
  for (; at + 31 <= bytes; at += 15) {
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + at + 15));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + at), _mm_shuffle_epi8(cur, order));
    cur = next;
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + at), _mm_shuffle_epi8(cur, order));
  return uint32_t((at + 15) / 3);
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
