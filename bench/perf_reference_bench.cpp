// The page conversion and Floyd-Steinberg diffusion against their straightforward reference
// versions on the same label page in one run (arg 0: reference, 1: the operation in use), so
// the speed-up is read off a single run of a shared, noisy machine.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/bmp_processing.h"
#include "tests/imaging/perf_reference.h"

namespace {

// The page of imaging_core_bench: white paper, a gray gradient band, dark bars and speckles.
std::vector<uint8_t> LabelPage(int w, int h, int bits) {
  const int stride = ((w * bits + 31) / 32) * 4, bpp = bits / 8;
  std::vector<uint8_t> page(static_cast<size_t>(stride) * h, 255);
  uint32_t seed = 2024;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int v = 255;
      if (y < h / 4)
        v = 255 * x / w;
      else if (y % 97 < 12 && x > w / 8)
        v = 0;
      else if ((x / 9 + y / 13) % 3 == 0)
        v = (seed >> 24) & 0xff;
      uint8_t* p = &page[static_cast<size_t>(y) * stride + x * bpp];
      for (int k = 0; k < bpp; ++k) p[k] = static_cast<uint8_t>(v);
    }
  return page;
}

// Args: width, height, rotation, fast (0 reference, 1 in use).
void BM_ConvertVsReference(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int rotation = static_cast<int>(state.range(2));
  const bool fast = state.range(3) != 0;
  const std::vector<uint8_t> page = LabelPage(w, h, 24);
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
    const uint32_t size = static_cast<uint32_t>(page.size());
    if (fast)
      p.CoverBMP2OutputFormat(page.data(), size, &out, &len, &header, &crop, rotation, 0, 0, item,
                              false, 10, 20, 3543, 1);
    else
      ref::CoverBMP2OutputFormat(p, page.data(), size, &out, &len, &header, &crop, rotation, 10, 20,
                                 3543, 1);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * w * h);
}

// Args: width, height, fast (0 reference, 1 in use).
void BM_FloydSteinbergVsReference(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const bool fast = state.range(2) != 0;
  const std::vector<uint8_t> page = LabelPage(w, h, 8);
  std::vector<uint8_t> src(page), dst(page.size(), 255);
  const uint32_t stride = static_cast<uint32_t>(((w * 8 + 31) / 32) * 4);
  CBmpProcessing p;
  for (auto _ : state) {
    state.PauseTiming();  // diffusion works in place: every pass starts from the same page
    std::memcpy(src.data(), page.data(), page.size());
    state.ResumeTiming();
    if (fast)
      p.Dither(2, src.data(), dst.data(), h, w, stride, 0, false);
    else
      ref::FloydSteinbergDither(src.data(), dst.data(), h, w, stride, false);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * w * h);
}

}  // namespace

BENCHMARK(BM_ConvertVsReference)
    ->ArgsProduct({{812}, {1218}, {3, 0, 1, 2}, {0, 1}})
    ->ArgsProduct({{1218}, {1827}, {3, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloydSteinbergVsReference)
    ->ArgsProduct({{812}, {1218}, {0, 1}})
    ->ArgsProduct({{1218}, {1827}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
