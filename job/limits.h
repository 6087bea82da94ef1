// Named limits of a job: the largest page buffer and resolution the filter takes. Checked
// where values enter (page-header validation, option readers); code behind them relies on it.
#pragma once

#include <cstdint>

// Largest page buffer the filter allocates for one page.
constexpr uint64_t kMaxPageBytes = uint64_t(1) << 30;
// Largest intermediate image of a page in the renderer (after the change to the printer
// resolution or the fit to the output width): a raster page within kMaxPageBytes may grow
// when the printer resolution is higher than the raster's. Larger pages are refused.
constexpr uint64_t kMaxWorkingPageBytes = uint64_t(1) << 31;
// Resolutions must fit the 16-bit device-mode fields exactly.
constexpr uint32_t kMaxResolution = 32767;
