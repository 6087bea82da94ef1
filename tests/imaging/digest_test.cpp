// Every imaging operation on fixed pseudo-random inputs, pinned by a digest of every output
// byte, recorded when the optimised loops agreed byte for byte with one-pixel-at-a-time
// versions of their rules. A changed digest means changed output: find the cause first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "imaging/adaptive_threshold.h"
#include "imaging/bmp_processing.h"
#include "imaging/color_management.h"
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
  void Add(const std::vector<uint8_t>& v) { Add(v.data(), v.size()); }
  void Add(const tagRECT& r) {
    for (int64_t v : {r.left, r.top, r.right, r.bottom}) Add(v);
  }
  void Add(const tagBITMAPINFOHEADER& h) {
    for (int64_t v :
         {int64_t{h.biWidth}, int64_t{h.biHeight}, int64_t{h.biBitCount}, int64_t{h.biSizeImage}})
      Add(v);
  }
  void Add(const tagRGBQUAD& c) {
    for (int64_t v : {c.rgbBlue, c.rgbGreen, c.rgbRed, c.rgbReserved}) Add(v);
  }
  // The caller's buffer if one was given, else the n bytes handed back (freed unless lent).
  void AddResult(const std::vector<uint8_t>& given, uint8_t* out, size_t n, bool lent = false) {
    if (!given.empty()) {
      Add(given);
    } else if (out != nullptr) {
      Add(out, n);
      if (!lent) std::free(out);
    }
  }
};

const int kBorders[11] = {0, 1, 127, 128, 129, 130, 249, 250, 251, 254, 255};

// Noise, sparse ink, near-uniform, two-level pages, and the borders of the near-white,
// mid-gray and black tests: the cases the fast paths special-case.
void Fill(std::vector<uint8_t>& v, int kind) {
  const int base = R(0, 255);
  for (auto& b : v) {
    b = static_cast<uint8_t>(kind == 0   ? R(0, 255)
                             : kind == 1 ? (R(0, 3) == 0 ? R(0, 255) : 255)
                             : kind == 2 ? std::clamp(base + R(-6, 6), 0, 255)
                             : kind == 3 ? (R(0, 1) ? R(245, 255) : R(0, 30))
                                         : kBorders[R(0, 10)]);
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

// Tone state as the pipeline makes it (levels item, light table), now and then arbitrary
// tables with light values outside 0..255; returns the brightness and contrast to pass on.
std::pair<int, int> RandomTone(CBmpProcessing& p) {
  if (R(0, 3) == 0) {
    for (auto& v : p.levelsTables[0]) v = static_cast<uint8_t>(R(0, 255));
    for (auto& v : p.lightTable) v = static_cast<int16_t>(R(-400, 400));
    return {R(0, 1) ? R(-3, 3) | 1 : 0, 0};
  }
  if (R(0, 1)) {
    COLORLEVELSITEM item;
    const float gammas[] = {0.3f, 0.5f, 1.0f, 1.2f, 2.0f, 3.7f};
    item.gamma = gammas[R(0, 5)];
    item.inputLow = static_cast<uint8_t>(R(0, 200));
    item.inputHigh = static_cast<uint8_t>(R(item.inputLow + 1, 255));
    item.outputLow = static_cast<uint8_t>(R(0, 255));
    item.outputHigh = static_cast<uint8_t>(R(0, 255));
    p.SetColorLevelsData(&item, R(0, 1) ? 0 : 3);
  }
  const int brightness = R(0, 1) ? R(-150, 150) : 0, contrast = R(0, 1) ? R(-120, 150) : 0;
  if (brightness != 0 || contrast != 0) p.SetLightTable(brightness, contrast);
  return {brightness, contrast};
}

// Page conversion in every turn and depth: column limits, white skipping, tone, caller
// buffers large and small; the result, header, crop box and bytes all count. Every third
// page without a caller's buffer goes through buffers lent from page to page and blackened
// in between: they must give the bytes of fresh ones.
TEST(OperationDigest, OutputFormat) {
  rng.seed(2024);
  Digest d;
  CBmpProcessing::ReusableBuffer frame, result;
  for (int it = 0; it < 1200; ++it) {
    CBmpProcessing p;
    if (it % 3 == 0) p.SetConversionBuffers(&frame, &result);
    const auto [brightness, contrast] = RandomTone(p);
    const int rotation = std::vector<int>{0, 1, 2, 3, -1, 9}[R(0, 5)];
    const uint16_t bits = R(0, 1) ? 24 : 8;
    const int32_t w = R(0, 7) == 0 ? R(0, 2) : R(1, it % 10 ? 40 : 300);
    const int32_t h = R(0, 7) == 0 ? R(0, 2) : R(1, it % 10 ? 40 : 300);
    std::vector<uint8_t> page((w * bits + 31) / 32 * 4 * size_t(h) + 1);
    Fill(page, R(0, 4));
    const int limit = std::vector<int>{R(0, 3), R(1, w + h + 1), -1, 3543}[R(0, 3)];
    const int16_t skip = static_cast<int16_t>(std::vector<int>{0, 1, 2, -1}[R(0, 3)]);
    std::vector<uint8_t> given(R(0, 5) == 0 ? R(1, w * h + 16) : 0, 0x5a);
    uint8_t* out = given.empty() ? nullptr : given.data();
    uint32_t outLen = static_cast<uint32_t>(given.size());
    tagBITMAPINFOHEADER header{40, w, h, 1, bits, 0, 0, 0, 0, 0, 0};
    tagRECT crop{-7, -7, -7, -7};
    const bool ok = p.CoverBMP2OutputFormat(
        page.data(), static_cast<uint32_t>(page.size()), &out, &outLen, &header, &crop, rotation, 0,
        0, COLORLEVELSITEM(), false, brightness, contrast, limit, skip);
    d.Add(ok);
    d.Add(outLen);
    d.Add(header);
    d.Add(crop);
    d.AddResult(given, out, header.biSizeImage, it % 3 == 0);
    if (result.data) std::memset(result.data, 0, result.capacity);
    if (frame.data) std::memset(frame.data, 0, frame.capacity);
  }
  std::free(frame.data);
  std::free(result.data);
  EXPECT_EQ(d.h, 2196841991346563920u);
}

// Every halftone method, plain and negative, on pages with padded and overlapping rows; the
// diffusion left in the source counts too.
TEST(OperationDigest, Dither) {
  rng.seed(99);
  for (int method = 0; method <= 11; ++method) {
    Digest d;
    for (int it = 0; it < 60; ++it) {
      const uint32_t w = R(0, 9) == 0 ? R(0, 3) : R(1, 90), h = R(0, 9) == 0 ? R(0, 3) : R(1, 40);
      uint32_t stride = w + R(0, 9);
      if (w > 2 && R(0, 19) == 0) stride = w - R(1, 2);  // refused: the rows overlap
      std::vector<uint8_t> src(size_t{stride} * h + 4), dst(src.size());
      Fill(src, it % 5);
      for (auto& b : dst) b = static_cast<uint8_t>(R(0, 255));
      CBmpProcessing p;
      d.Add(p.Dither(method, src.data(), dst.data(), h, w, stride, 0, R(0, 1) == 1));
      d.Add(src);
      d.Add(dst);
    }
    static const uint64_t kDigests[12] = {
        3000455433216128187u,  8075481345371127773u,  9981988175452270544u,  15014048207552668399u,
        17729054050240331887u, 4840559741585534392u,  10117939459375899413u, 8054426501321690767u,
        5718338219057688336u,  10572596399153320991u, 3948718442562359021u,  13133138364068524319u};
    EXPECT_EQ(d.h, kDigests[method]) << "method " << method;
  }
}

// Turns of 8- and 24-bit crops, the turned rectangles, and dashes at 8 and 1 bits.
TEST(OperationDigest, RotateAndDashes) {
  rng.seed(31);
  Digest d;
  for (int it = 0; it < 400; ++it) {
    const int32_t w = R(1, 40), h = R(1, 40);
    const uint16_t bits = std::vector<uint16_t>{8, 24, 1}[R(0, 2)];
    std::vector<uint8_t> src((w * bits + 31) / 32 * 4 * size_t(h));
    Fill(src, R(0, 4));
    const int32_t left = R(-2, 20), top = R(-2, 20);
    tagRECT rect{left, top, left + w - 1, top + h - 1}, outRect = rect;
    if (R(0, 9) == 0) std::swap(rect.left, rect.right);
    tagBITMAPINFOHEADER header{40, w, h, 1, bits, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> given(R(0, 5) == 0 ? R(1, w * h * 3) : 0, 0x5a);
    uint8_t* out = given.empty() ? nullptr : given.data();
    uint32_t len = static_cast<uint32_t>(given.size());
    CBmpProcessing p;
    d.Add(p.RotateImgData(src.data(), static_cast<uint32_t>(src.size()), rect, &header,
                          static_cast<int16_t>(R(0, 4)), &out, &len, &outRect));
    d.Add(len);
    d.Add(header);
    d.Add(outRect);
    d.AddResult(given, out, len);
    std::vector<uint8_t> line(R(1, 200));
    Fill(line, R(0, 4));
    // Arguments are drawn one statement each: their order of evaluation is unspecified.
    const auto dash = static_cast<int16_t>(R(-2, 12));
    const auto gap = static_cast<int16_t>(R(-2, 12));
    const auto depth = static_cast<int16_t>(std::vector<int>{8, 1, 4}[R(0, 2)]);
    d.Add(p.ResetBlackLineData(line.data(), static_cast<uint32_t>(line.size()), dash, gap, depth));
    d.Add(line);
  }
  EXPECT_EQ(d.h, 10834657885033064614u);
}

// The adaptive threshold with its block grid resize, the block-wise local threshold and
// histogram thresholds over regions (rows counted upward, clipped).
TEST(OperationDigest, Thresholds) {
  rng.seed(4242);
  Digest d;
  for (int it = 0; it < 150; ++it) {
    const int w = R(1, 150), h = R(1, 150), stride = w + R(0, 5);
    std::vector<uint8_t> img(size_t(stride) * h);
    Fill(img, it % 5);
    uint8_t* out = nullptr;
    int len = 0;
    const int block = std::vector<int>{8, 16, 64, 0}[R(0, 3)];
    const bool negative = R(0, 1) == 1;
    const int bias = R(-30, 30);
    const float mix = static_cast<float>(R(0, 12)) / 8.0f;
    d.Add(AdaptiveThreshold(img.data(), w, h, stride, &out, &len, negative, 0, block, bias, mix));
    d.Add(len);
    if (out != nullptr) d.Add(out, static_cast<size_t>(len));
    std::free(out);
    const int32_t left = R(-5, w), bottom = R(-5, h);
    const tagRECT region{left, bottom + R(0, h), left + R(0, w), bottom};
    CBmpProcessing p;
    for (int m = 0; m <= 5; ++m) {
      d.Add(p.OptimalThreshold(img.data(), static_cast<uint32_t>(img.size()), stride, h, m,
                               R(0, 1) ? &region : nullptr));
      d.Add(OptimalThreshold(m, img.data(), w, h, stride, R(0, 1) ? &region : nullptr));
    }
    std::vector<uint8_t> local(img.size(), 77);
    uint8_t* lp = local.data();
    d.Add(p.AdThresholdImgLocal(w, h, 8, stride, img.data(), static_cast<uint32_t>(img.size()), &lp,
                                nullptr, R(0, 1) == 1, false));
    d.Add(local);
  }
  // The grid resize on its own: every byte of maps of every size.
  for (int it = 0; it < 100; ++it) {
    const int w = R(1, 6), h = R(1, 6), stride = (w + 3) / 4 * 4 + R(0, 1);
    std::vector<uint8_t> grid(size_t(stride) * h);
    Fill(grid, 0);
    const int dw = R(0, 130), dh = R(0, 130);
    uint8_t* map = nullptr;
    d.Add(Resample(grid.data(), w, h, stride, dw, dh, &map));
    if (map != nullptr) d.Add(map, size_t((dw + 3) / 4 * 4) * dh);
    std::free(map);
  }
  EXPECT_EQ(d.h, 8489134425318643996u);
}

// Point sampling by every method and overflow rule, area sampling, and the coordinate maps,
// inside, across the edges and far outside, on 8- and 24-bit sources.
TEST(OperationDigest, Sampling) {
  rng.seed(555);
  Digest d;
  for (int it = 0; it < 40; ++it) {
    const uint32_t w = R(1, 12), h = R(1, 12), bpp = R(0, 1) ? 24 : 8;
    const uint32_t stride = (w * bpp + 31) / 32 * 4;
    std::vector<uint8_t> bits(size_t{stride} * h);
    Fill(bits, it % 5);
    CBmpProcessing p;
    p.srcHeader =
        tagBITMAPINFOHEADER{40, int32_t(w), int32_t(h), 1, uint16_t(bpp), 0, 0, 0, 0, 0, 0};
    p.srcStride = stride;
    p.srcBits = bits.data();
    tagRGBQUAD repl{12, 34, 56, 78};
    for (int k = 0; k < 60; ++k) {
      const float x = static_cast<float>(R(-40, 8 * int(w) + 40)) / 8.0f;
      const float y = static_cast<float>(R(-40, 8 * int(h) + 40)) / 8.0f;
      const auto method = static_cast<CBmpProcessing::InterpolationMethod>(R(0, 19));
      const auto overflow = static_cast<CBmpProcessing::OverflowMethod>(R(0, 7));
      tagRGBQUAD* r = R(0, 1) ? &repl : nullptr;
      d.Add(p.GetPixelColorInterpolated(x, y, method, overflow, r));
      const int px = R(-30, 30), py = R(-30, 30);
      d.Add(p.GetPixelColorWithOverflow(px, py, overflow, r));
      const float aw = static_cast<float>(R(1, 24)) / 8.0f,
                  ah = static_cast<float>(R(1, 24)) / 8.0f;
      d.Add(
          p.GetAreaColorInterpolated(x, y, aw, ah, method, CBmpProcessing::OverflowClamp, nullptr));
      int mx = R(-100, 100), my = R(-100, 100);
      p.OverflowCoordinates(mx, my, overflow);
      d.Add(mx);
      d.Add(my);
    }
  }
  EXPECT_EQ(d.h, 3844441825853435739u);
}

// Levels curves, light tables and the per-pixel Light mapping, from random settings.
TEST(OperationDigest, ToneTables) {
  rng.seed(8);
  Digest d;
  for (int it = 0; it < 300; ++it) {
    CBmpProcessing p;
    COLORLEVELSITEM item;
    item.gamma = static_cast<float>(R(-2, 40)) / 10.0f;
    item.inputLow = static_cast<uint8_t>(R(0, 255));
    item.inputHigh = static_cast<uint8_t>(R(0, 255));
    item.outputLow = static_cast<uint8_t>(R(0, 255));
    item.outputHigh = static_cast<uint8_t>(R(0, 255));
    p.SetColorLevelsData(&item, R(-1, 4));
    for (const auto& table : p.levelsTables) d.Add(table, 256);
    for (int built : p.levelsBuilt) d.Add(built);
    const int brightness = R(-300, 300), contrast = R(-150, 300);
    p.SetLightTable(brightness, contrast);
    for (int16_t v : p.lightTable) d.Add(v);
    uint8_t r = static_cast<uint8_t>(kBorders[R(0, 10)]), g = static_cast<uint8_t>(R(0, 255)),
            b = static_cast<uint8_t>(R(240, 255));
    d.Add(p.Light(r, g, b));
    d.Add(r);
    d.Add(g);
    d.Add(b);
  }
  EXPECT_EQ(d.h, 2545610067048916366u);
}

// Every kernel over -8..8 in steps of 1/64, to 1/65536 (past the float noise of the
// compilers), and the colour manager's gray levels over a grid of colours.
TEST(OperationDigest, KernelsAndColourManager) {
  using K = CBmpProcessing;
  Digest d;
  float (*const kernels[])(float) = {K::KernelLinear,        K::KernelCubic,    K::KernelBox,
                                     K::KernelBSpline,       K::KernelHermite,  K::KernelHanning,
                                     K::KernelHamming,       K::KernelSinc,     K::KernelBlackman,
                                     K::KernelBessel_Order1, K::KernelBessel,   K::KernelGaussian,
                                     K::KernelQuadratic,     K::KernelMitchell, K::KernelCatrom};
  for (int i = -512; i <= 512; ++i) {
    const float x = static_cast<float>(i) / 64.0f;
    for (auto k : kernels) d.Add(std::llround(k(x) * 65536.0));
    d.Add(std::llround(K::KernelGeneralizedCubic(x, -0.5f) * 65536.0));
    d.Add(std::llround(K::KernelLanczosSinc(x, 6.0f) * 65536.0));
    d.Add(std::llround(K::KernelPower(x, 2.0f) * 65536.0));
  }
  CColorManagment cm;
  for (int r = 0; r < 256; r += 17)
    for (int g = 0; g < 256; g += 51)
      for (int b = 0; b < 256; b += 85) d.Add(cm.RGBToGray(r, g, b));
  EXPECT_EQ(d.h, 13869345979837136573u);
}

}  // namespace
