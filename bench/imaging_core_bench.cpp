// Throughput of the core image operations on a 4 x 6 inch label page at 203 and 300 dpi
// (812 x 1218 and 1218 x 1827 pixels), in pixels per second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/dots.h"
#include "imaging/adaptive_threshold.h"
#include "imaging/auto_halftone.h"
#include "imaging/bmp_processing.h"

namespace {

int Stride(int width, int bits) { return static_cast<int>(RowStride(width, bits)); }

// A label-like page: white paper, a gray gradient band, dark bars and speckled text areas.
std::vector<uint8_t> MakePage(int w, int h, int bits) {
  const int stride = Stride(w, bits), bpp = bits / 8;
  std::vector<uint8_t> page(static_cast<size_t>(stride) * h, 255);
  uint32_t seed = 2024;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int v = 255;
      if (y < h / 4)
        v = 255 * x / w;  // gradient band
      else if (y % 97 < 12 && x > w / 8)
        v = 0;  // bars
      else if ((x / 9 + y / 13) % 3 == 0)
        v = (seed >> 24) & 0xff;  // "text"
      uint8_t* p = &page[static_cast<size_t>(y) * stride + x * bpp];
      for (int k = 0; k < bpp; ++k) p[k] = static_cast<uint8_t>(v);
    }
  return page;
}

void SetPixels(benchmark::State& state, int w, int h) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * w * h);
}

void BM_CoverBMP2OutputFormat(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int rotation = static_cast<int>(state.range(2));
  const std::vector<uint8_t> page = MakePage(w, h, 24);
  CBmpProcessing p;
  COLORLEVELSITEM item;
  item.gamma = 1.2f;
  p.SetColorLevelsData(&item, 0);
  p.SetLightTable(10, 20);
  for (auto _ : state) {
    tagBITMAPINFOHEADER header{40, w, h, 1, 24, 0, 0, 0, 0, 0, 0};
    tagRECT crop;
    uint8_t* out = nullptr;
    uint32_t len = 0;
    p.CoverBMP2OutputFormat(page.data(), static_cast<uint32_t>(page.size()), &out, &len, &header,
                            &crop, rotation, 0, 0, item, false, 10, 20, 3543, 1);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  SetPixels(state, w, h);
}

void BM_RotateImgData(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int bits = static_cast<int>(state.range(2));
  const std::vector<uint8_t> page = MakePage(w, h, bits);
  CBmpProcessing p;
  for (auto _ : state) {
    tagBITMAPINFOHEADER header{40, w, h, 1, static_cast<uint16_t>(bits), 0, 0, 0, 0, 0, 0};
    tagRECT rect{0, 0, w - 1, h - 1};
    uint8_t* out = nullptr;
    uint32_t len = 0;
    p.RotateImgData(page.data(), static_cast<uint32_t>(page.size()), rect, &header, 2, &out, &len,
                    &rect);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  SetPixels(state, w, h);
}

void BM_ResetBlackLineData(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  std::vector<uint8_t> page(static_cast<size_t>(Stride(w, 8)) * h, 0);
  CBmpProcessing p;
  for (auto _ : state) {
    // The whole page as one run, dashes of 3 mm and gaps of 1 mm at 203 dpi.
    p.ResetBlackLineData(page.data(), static_cast<uint32_t>(page.size()), 24, 8, 8);
    benchmark::ClobberMemory();
  }
  SetPixels(state, w, h);
}

void BM_Dither(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int method = static_cast<int>(state.range(2));
  const std::vector<uint8_t> page = MakePage(w, h, 8);
  std::vector<uint8_t> src(page), dst(page.size(), 255);
  CBmpProcessing p;
  const uint32_t stride = static_cast<uint32_t>(Stride(w, 8));
  for (auto _ : state) {
    if (method == 2) {  // diffuses into its source: start every pass from the same page
      state.PauseTiming();
      std::memcpy(src.data(), page.data(), page.size());
      state.ResumeTiming();
    }
    if (method == kHalftoneAuto) {  // guard: 5 mm at 203 dpi
      AutoHalftone(src.data(), dst.data(), h, w, stride, 40, false);
    } else {
      p.Dither(method, src.data(), dst.data(), h, w, stride, 0, false);
    }
    benchmark::ClobberMemory();
  }
  SetPixels(state, w, h);
}

void BM_OptimalThreshold(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::vector<uint8_t> page = MakePage(w, h, 8);
  CBmpProcessing p;
  for (auto _ : state)
    benchmark::DoNotOptimize(
        p.OptimalThreshold(page.data(), static_cast<uint32_t>(page.size()), w, h, 0, nullptr));
  SetPixels(state, w, h);
}

void BM_AdaptiveThreshold(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::vector<uint8_t> page = MakePage(w, h, 8);
  for (auto _ : state) {
    uint8_t* out = nullptr;
    int len = 0;
    AdaptiveThreshold(page.data(), w, h, Stride(w, 8), &out, &len, false, 0, 64, 0, 0.5f);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  SetPixels(state, w, h);
}

void BM_Resample(benchmark::State& state) {
  // The adaptive threshold's use: a block grid spread to the page (64-pixel blocks).
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int bx = (w + 63) / 64, by = (h + 63) / 64, row = (bx + 3) / 4 * 4;
  std::vector<uint8_t> grid(static_cast<size_t>(row) * by);
  for (size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<uint8_t>(i * 37);
  for (auto _ : state) {
    uint8_t* map = nullptr;
    Resample(grid.data(), bx, by, row, bx * 64, by * 64, &map);
    benchmark::DoNotOptimize(map);
    std::free(map);
  }
  SetPixels(state, bx * 64, by * 64);
}

void Pages(benchmark::internal::Benchmark* b) {
  b->Args({812, 1218})->Args({1218, 1827})->Unit(benchmark::kMillisecond);
}

void PagesBy(benchmark::internal::Benchmark* b, std::initializer_list<int64_t> values) {
  for (int64_t v : values) b->Args({812, 1218, v})->Args({1218, 1827, v});
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_CoverBMP2OutputFormat)->Apply([](auto* b) { PagesBy(b, {3, 0}); });
BENCHMARK(BM_RotateImgData)->Apply([](auto* b) { PagesBy(b, {8, 24}); });
BENCHMARK(BM_ResetBlackLineData)->Apply(Pages);
BENCHMARK(BM_Dither)->Apply([](auto* b) { PagesBy(b, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}); });
BENCHMARK(BM_OptimalThreshold)->Apply(Pages);
BENCHMARK(BM_AdaptiveThreshold)->Apply(Pages);
BENCHMARK(BM_Resample)->Apply(Pages);
