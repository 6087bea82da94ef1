// Gray rows from blue-green-red pixels: eight pixels per step with SSSE3 byte shuffles and
// multiply-adds where the CPU has them, the plain loop for the rest of the row and on other
// CPUs. Results are identical byte for byte.
#include "imaging/gray_row.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEV_HAVE_SSSE3_PATH 1
#endif

void GrayRowBgrPlain(const uint8_t* src, int64_t n, uint8_t* out) {
  for (int64_t i = 0; i < n; ++i, src += 3) {
    const int b = src[0], g = src[1], r = src[2];
    const bool nearWhite = b >= 250 && g >= 250 && r >= 250;
    out[i] = nearWhite ? 255 : static_cast<uint8_t>((11 * r + 16 * g + 5 * b) >> 5);
  }
}

#ifdef QEV_HAVE_SSSE3_PATH
namespace {

// Eight pixels (24 bytes) per step, read as bytes 0..15 and 8..23 so that no load passes the
// row's end. Blue and green are gathered in pairs and weighted by one multiply-add, red
// alone into 16-bit lanes; a pixel is near-white when no byte of it lies below 250.
__attribute__((target("ssse3"))) int64_t GrayRowBgrSsse3(const uint8_t* src, int64_t n,
                                                         uint8_t* out) {
  const __m128i bgLo = _mm_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, -1, -1, -1, -1, -1, -1);
  const __m128i bgHi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, 8, 10, 11, 13, 14);
  const __m128i rLo = _mm_setr_epi8(2, -1, 5, -1, 8, -1, 11, -1, 14, -1, -1, -1, -1, -1, -1, -1);
  const __m128i rHi = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 9, -1, 12, -1, 15, -1);
  const __m128i bgWeights = _mm_set1_epi16(16 << 8 | 5);  // blue x 5 + green x 16
  const __m128i redWeight = _mm_set1_epi16(11);
  const __m128i below250 = _mm_set1_epi8(static_cast<char>(249));
  const __m128i zero = _mm_setzero_si128();
  int64_t i = 0;
  for (; i + 8 <= n; i += 8, src += 24) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8));
    const __m128i bg = _mm_or_si128(_mm_shuffle_epi8(lo, bgLo), _mm_shuffle_epi8(hi, bgHi));
    const __m128i red = _mm_or_si128(_mm_shuffle_epi8(lo, rLo), _mm_shuffle_epi8(hi, rHi));
    const __m128i sum =
        _mm_add_epi16(_mm_maddubs_epi16(bg, bgWeights), _mm_mullo_epi16(red, redWeight));
    // A byte of 250 or more stays non-zero after subtracting 249 with saturation.
    const __m128i bgLow = _mm_cmpeq_epi8(_mm_subs_epu8(bg, below250), zero);
    const __m128i bgNear = _mm_cmpeq_epi16(bgLow, zero);
    const __m128i redNear = _mm_cmpgt_epi16(red, _mm_set1_epi16(249));
    // Near-white lanes become 255 (the mask shifted down), the rest at most 8160 >> 5 = 255.
    const __m128i nearWhite = _mm_srli_epi16(_mm_and_si128(bgNear, redNear), 8);
    const __m128i gray16 = _mm_or_si128(_mm_srli_epi16(sum, 5), nearWhite);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(gray16, gray16));
  }
  return i;
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

}  // namespace
#endif

void GrayRowBgr(const uint8_t* src, int64_t n, uint8_t* out) {
  int64_t done = 0;
#ifdef QEV_HAVE_SSSE3_PATH
  if (HasSsse3()) done = GrayRowBgrSsse3(src, n, out);
#endif
  GrayRowBgrPlain(src + 3 * done, n - done, out + done);
}
