// Area shrink, resampling and threshold selection on fixed pseudo-random inputs, pinned by a
// digest of every output byte. The digests were recorded when the optimised loops still agreed
// byte for byte with one-pixel-at-a-time versions of their rules; any drift changes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/bmp_processing.h"
#include "imaging/threshold_select.h"

namespace {

std::mt19937 rng;  // its sequence is fixed by the standard, unlike the distributions
int R(int a, int b) { return a + static_cast<int>(rng() % static_cast<uint32_t>(b - a + 1)); }

struct Digest {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  void Add(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  }
  void Add(int64_t v) { Add(reinterpret_cast<const uint8_t*>(&v), sizeof v); }
};

// Noise, sparse ink, near-uniform and two-level pages: the cases the fast paths special-case.
void Fill(std::vector<uint8_t>& v, int kind) {
  const int base = R(0, 255);
  for (auto& b : v) {
    switch (kind) {
      case 0:
        b = static_cast<uint8_t>(R(0, 255));
        break;
      case 1:
        b = static_cast<uint8_t>(R(0, 3) == 0 ? R(0, 255) : 255);
        break;
      case 2:
        b = static_cast<uint8_t>(std::min(255, std::max(0, base + R(-6, 6))));
        break;
      default:
        b = static_cast<uint8_t>(R(0, 1) ? R(245, 255) : R(0, 30));
        break;
    }
  }
}

struct Ranges {
  int iterations, minW, maxW, minH, maxH;
  uint64_t shrinkDigest, resampleDigest;
};

class ScalingDigest : public ::testing::TestWithParam<Ranges> {};

// Random sizes, depth changes, tone settings and protected rectangles; whole destination
// buffers (row padding included) go into the digests.
TEST_P(ScalingDigest, ShrinkAndResample) {
  const Ranges g = GetParam();
  rng.seed(12345);
  CBmpProcessing p;
  Digest shrink, resample;
  for (int it = 0; it < g.iterations; ++it) {
    uint32_t sd = R(0, 1) ? 24 : 8, dd = sd;
    if (R(0, 9) == 0) dd = (sd == 24 ? 8 : 24);
    const uint32_t sw = R(g.minW, g.maxW), sh = R(g.minH, g.maxH);
    const uint32_t dw = R(1, sw), dh = R(1, sh);
    const uint32_t ss = (sw * sd + 31) / 32 * 4 + 4 * R(0, 1);
    std::vector<uint8_t> src(ss * sh);
    Fill(src, it % 4);
    const uint32_t size = (dw * dd + 31) / 32 * 4 * dh;
    tagColorCFG c{};
    if (R(0, 1)) {
      c.sBrightness = static_cast<int16_t>(R(-50, 50));
      c.sContrast = static_cast<int16_t>(R(-50, 50));
    }
    if (R(0, 1)) c.sLevels = static_cast<int16_t>(R(0, 3) == 0 ? 300 : R(50, 250));
    p.SetLightTable(c.sBrightness, c.sContrast);
    COLORLEVELSITEM lv;
    lv.gamma = c.sLevels / 100.0f;
    if (c.sLevels != 0 && c.sLevels != 300) p.SetColorLevelsData(&lv, 0);
    tagRECT rc{};
    if (R(0, 3) == 0 && dd == sd) {
      rc.left = R(-3, sw);
      rc.right = rc.left + R(1, 10);
      rc.top = R(-3, sh);
      rc.bottom = rc.top + R(1, 10);
    }
    std::vector<uint8_t> a(size, 77);
    uint8_t* pa = a.data();
    p.InvoicQIShrinkImg2(sw, sh, sd, ss, src.data(), nullptr, dw, dh, dd, &pa, nullptr, size, c,
                         tagColorCFG{}, rc);
    shrink.Add(a.data(), a.size());

    const uint32_t rw = R(1, g.maxW + 30), rh = R(1, g.maxH + 30);
    const uint32_t rsize = (rw * sd + 31) / 32 * 4 * rh;
    std::vector<uint8_t> ra(rsize, 3);
    uint8_t* pra = ra.data();
    p.InvoicResampleImg2(sw, sh, sd, ss, src.data(), rw, rh, sd, &pra, rsize, c, 0, tagRECT{});
    resample.Add(ra.data(), ra.size());
  }
  EXPECT_EQ(shrink.h, g.shrinkDigest);
  EXPECT_EQ(resample.h, g.resampleDigest);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScalingDigest,
                         ::testing::Values(Ranges{600, 1, 60, 1, 60, 3931956073989296935u,
                                                  1852787600840979174u},
                                           Ranges{6, 600, 1300, 100, 200, 12868449832499948250u,
                                                  17470707174619812069u}));

// Every method on histograms of noise, two peaks, near-white, black and white, and a narrow band.
TEST(ThresholdSelectionDigest, EveryMethod) {
  rng.seed(777);
  Digest d;
  for (int it = 0; it < 400; ++it) {
    double h[256] = {};
    const int kind = it % 5, n = R(1, 400);
    for (int q = 0; q < n; ++q) {
      const int v = kind == 0   ? R(0, 255)
                    : kind == 1 ? R(40, 60) + (R(0, 1) ? 120 : 0)
                    : kind == 2 ? R(250, 255)
                    : kind == 3 ? R(0, 1) * 255
                                : R(100, 110);
      h[v] += 1;
    }
    for (long m = 0; m <= 5; ++m) d.Add(SelectThreshold(h, m, 0));
  }
  EXPECT_EQ(d.h, 10487712122270181066u);
}

}  // namespace
