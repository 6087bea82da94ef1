// Benchmarks of the page scaling operations: a 4 x 6 inch label brought from 600 and 300 dpi
// to 203 dpi (24-bit) by the area shrink and by the resampler, and the fit of an 8-bit page
// wider than the head to 104 mm at 203 dpi. Counter "src_MPix/s": source megapixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/dots.h"
#include "imaging/bmp_processing.h"

namespace {

uint32_t Stride(uint32_t w, uint32_t bpp) { return static_cast<uint32_t>(RowStride(w, bpp)); }

// A page with text-like content: mostly white with dark strokes and a gray ramp.
std::vector<uint8_t> MakePage(uint32_t w, uint32_t h, uint32_t bpp) {
  const uint32_t stride = Stride(w, bpp);
  std::vector<uint8_t> page(static_cast<size_t>(stride) * h, 255);
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = page.data() + static_cast<size_t>(y) * stride;
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t v = 255;
      if ((x / 7 + y / 11) % 5 == 0) v = 0;
      if (y > h / 2 && y < h / 2 + h / 8) v = static_cast<uint8_t>(x * 255 / w);
      for (uint32_t c = 0; c < bpp / 8; ++c) row[x * (bpp / 8) + c] = v;
    }
  }
  return page;
}

enum class Op { kShrink, kResample };

void Scale(benchmark::State& state, Op op, uint32_t w, uint32_t h, uint32_t bpp, uint32_t dw,
           uint32_t dh, tagColorCFG cfg) {
  const std::vector<uint8_t> page = MakePage(w, h, bpp);
  const uint32_t dstStride = Stride(dw, bpp);
  std::vector<uint8_t> out(static_cast<size_t>(dstStride) * dh, 255);
  CBmpProcessing proc;
  if (cfg.sBrightness != 0 || cfg.sContrast != 0)
    proc.SetLightTable(cfg.sBrightness, cfg.sContrast);
  if (cfg.sLevels != 0 && cfg.sLevels != 100 && cfg.sLevels != 300) {
    COLORLEVELSITEM item;
    item.gamma = cfg.sLevels / 100.0f;
    proc.SetColorLevelsData(&item, 0);
  }
  const tagColorCFG none{};
  const tagRECT noRect{0, 0, 0, 0};
  for (auto _ : state) {
    uint8_t* dst = out.data();
    if (op == Op::kShrink) {
      proc.InvoicQIShrinkImg2(w, h, bpp, Stride(w, bpp), page.data(), nullptr, dw, dh, bpp, &dst,
                              nullptr, static_cast<uint32_t>(out.size()), cfg, none, noRect);
    } else {
      proc.InvoicResampleImg2(w, h, bpp, Stride(w, bpp), page.data(), dw, dh, bpp, &dst,
                              static_cast<uint32_t>(out.size()), cfg, 0, noRect);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["src_MPix/s"] = benchmark::Counter(static_cast<double>(w) * h / 1e6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// Resolution conversion of a 4 x 6 inch label: 203 dpi gives 812 x 1218 dots.
constexpr uint32_t kDstW = 4 * 203, kDstH = 6 * 203;

void BM_Shrink600to203(benchmark::State& s) {
  Scale(s, Op::kShrink, 2400, 3600, 24, kDstW, kDstH, tagColorCFG{});
}
void BM_Shrink300to203(benchmark::State& s) {
  Scale(s, Op::kShrink, 1200, 1800, 24, kDstW, kDstH, tagColorCFG{});
}
void BM_Resample600to203(benchmark::State& s) {
  Scale(s, Op::kResample, 2400, 3600, 24, kDstW, kDstH, tagColorCFG{});
}
void BM_Resample300to203(benchmark::State& s) {
  Scale(s, Op::kResample, 1200, 1800, 24, kDstW, kDstH, tagColorCFG{});
}

// Fit to the printable width: a 6 x 4 inch landscape page at 203 dpi, 8-bit, onto 104 mm
// (831 dots); the height follows the aspect ratio. Brightness, contrast and gamma as a job sets.
constexpr uint32_t kWideW = 6 * 203, kWideH = 4 * 203, kHeadDots = 831;
constexpr uint32_t kFitH =
    static_cast<uint32_t>(kHeadDots * (static_cast<double>(kWideH) / kWideW));

tagColorCFG JobTone() {
  tagColorCFG cfg{};
  cfg.sBrightness = 10;
  cfg.sContrast = 20;
  cfg.sLevels = 120;
  return cfg;
}
void BM_ShrinkFitToHead8(benchmark::State& s) {
  Scale(s, Op::kShrink, kWideW, kWideH, 8, kHeadDots, kFitH, JobTone());
}
void BM_ResampleFitToHead8(benchmark::State& s) {
  Scale(s, Op::kResample, kWideW, kWideH, 8, kHeadDots, kFitH, JobTone());
}

}  // namespace

BENCHMARK(BM_Shrink600to203)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shrink300to203)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample600to203)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample300to203)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShrinkFitToHead8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleFitToHead8)->Unit(benchmark::kMillisecond);
