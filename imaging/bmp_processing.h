// CBmpProcessing: the per-page image processor. It carries the page's tone state (levels
// curve and light table) and the sampling source; its operations take raw buffers.
#pragma once

#include <cstdint>

#include "imaging/gdi_types.h"

class CBmpProcessing {
 public:
  CBmpProcessing();
  virtual ~CBmpProcessing();

  // ---- tone tables, output conversion, rotation, thresholds, dithering ----
  // (BEGIN core members)
  // (END core members)

  // ---- area shrink, interpolation, sampling, resampling ----
  // (BEGIN scaling members)
  // (END scaling members)

  // ---- data ----
  // (BEGIN core data)
  // (END core data)
  // (BEGIN scaling data)
  // (END scaling data)
};
