// Tone state of the image processor: the levels (gamma) curves, built at most once per table,
// and the brightness/contrast light table with its per-pixel mapping.
#include <cmath>

#include "imaging/bmp_processing.h"

namespace {

bool ValidIndex(int index) { return index >= 0 && index <= 3; }

void ResetToIdentity(uint8_t* table) {
  for (int k = 0; k < 256; ++k) table[k] = static_cast<uint8_t>(k);
}

// Rebuilds every entry of a table from its present value; double precision throughout.
void ApplyCurve(const COLORLEVELSITEM& item, uint8_t* table) {
  const double g = item.gamma;
  const int iL = item.inputLow;
  const int iH = item.inputHigh;
  const double inScale = 255.0 / (iH - iL);
  const double outScale = (item.outputHigh - item.outputLow) / 255.0;
  for (int k = 0; k < 256; ++k) {
    const int v = table[k];
    double x = 0.0;
    if (v > iL) {
      int t = static_cast<int>((v - iL) * inScale + 0.5);
      if (t > 255) t = 255;
      x = t / 255.0;
    }
    const double y = std::pow(x, g);
    const int r = static_cast<int>(y * 255.0 + 0.5);
    table[k] = static_cast<uint8_t>(static_cast<int>(r * outScale + item.outputLow + 0.5));
  }
}

}  // namespace

void CBmpProcessing::InitColorLevelsData(int index) {
  if (!ValidIndex(index)) return;
  if (index == 3) {
    for (int t = 0; t < 3; ++t) {
      if (!levelsBuilt[t]) ResetToIdentity(levelsTables[t]);
    }
  } else if (!levelsBuilt[index]) {
    ResetToIdentity(levelsTables[index]);
  }
  levelsItems[index] = COLORLEVELSITEM();
}

void CBmpProcessing::InitColorLevelsTable(int index) {
  if (!ValidIndex(index)) return;
  const COLORLEVELSITEM& item = levelsItems[index];
  // An empty input range would divide by zero, and a gamma that is not positive would raise
  // black to an infinite level: such an item is refused and the table kept.
  if (item.inputHigh <= item.inputLow || !(item.gamma > 0.0f)) return;
  if (index == 3) {
    for (int t = 0; t < 3; ++t) {
      if (levelsBuilt[t]) continue;
      ApplyCurve(item, levelsTables[t]);
      levelsBuilt[t] = 1;
    }
    return;
  }
  if (levelsBuilt[index]) return;
  ApplyCurve(item, levelsTables[index]);
  levelsBuilt[index] = 1;
}

void CBmpProcessing::SetColorLevelsData(const COLORLEVELSITEM* item, int index) {
  if (item == nullptr || !ValidIndex(index)) return;
  InitColorLevelsData(index);
  levelsItems[index] = *item;
  InitColorLevelsTable(index);
}

void CBmpProcessing::SetLightTable(int brightness, int contrast) {
  const float k = (contrast + 100) / 100.0f;
  const float b = static_cast<float>(brightness + 128);
  for (int i = 0; i < 256; ++i) {
    int v = static_cast<int>((i - 128) * k + b + 0.5f);
    if (v < 0) v = 0;
    if (v > 255) v = 255;
    lightTable[i] = static_cast<int16_t>(v);
  }
}

bool CBmpProcessing::Light(uint8_t& red, uint8_t& green, uint8_t& blue) {
  if (red == 0 && green == 0 && blue == 0) return true;  // pure black stays black
  if (red > 250 && green > 250 && blue > 250) {
    red = green = blue = 255;
    return true;
  }
  red = static_cast<uint8_t>(lightTable[red]);
  green = static_cast<uint8_t>(lightTable[green]);
  blue = static_cast<uint8_t>(lightTable[blue]);
  return true;
}
