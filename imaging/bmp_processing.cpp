// CBmpProcessing construction: neutral tone state for a fresh page. The operations live in
// one file per group (tone_tables, output_format, rotate, threshold_select, dither, ...).
#include "imaging/bmp_processing.h"

#include <cstring>

CBmpProcessing::CBmpProcessing() {
  for (COLORLEVELSITEM& item : levelsItems) item = COLORLEVELSITEM();
  for (int t = 0; t < 4; ++t) {
    for (int k = 0; k < 256; ++k) levelsTables[t][k] = static_cast<uint8_t>(k);
  }
  std::memset(levelsBuilt, 0, sizeof(levelsBuilt));
  // Nothing should read the light table before SetLightTable; make it the identity anyway so
  // a stray read is harmless and deterministic.
  for (int k = 0; k < 256; ++k) lightTable[k] = static_cast<int16_t>(k);
}

// The processor owns no memory.
CBmpProcessing::~CBmpProcessing() {}
