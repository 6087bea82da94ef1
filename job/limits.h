// Named limits of a job: the largest page buffer and resolution the filter takes. Checked
// where values enter (page-header validation, option readers); code behind them relies on it.
#pragma once

#include <cstdint>

// Largest page buffer the filter allocates for one page.
constexpr uint64_t kMaxPageBytes = uint64_t(1) << 30;
// Resolutions must fit the 16-bit device-mode fields exactly.
constexpr uint32_t kMaxResolution = 32767;
