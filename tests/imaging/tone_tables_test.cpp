// Tone tables, worked out by hand: levels curves and the brightness/contrast light table.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imaging/bmp_processing.h"

namespace {

struct Entry {
  int in, out;
};

COLORLEVELSITEM Item(float gamma, int iL = 0, int iH = 255, int oL = 0, int oH = 255) {
  COLORLEVELSITEM item;
  item.gamma = gamma;
  item.inputLow = static_cast<uint8_t>(iL);
  item.inputHigh = static_cast<uint8_t>(iH);
  item.outputLow = static_cast<uint8_t>(oL);
  item.outputHigh = static_cast<uint8_t>(oH);
  return item;
}

bool IsIdentity(const uint8_t* table) {
  for (int k = 0; k < 256; ++k)
    if (table[k] != k) return false;
  return true;
}

TEST(ToneTables, CurvesMatchWorkedExamples) {
  const struct {
    COLORLEVELSITEM item;
    std::vector<Entry> entries;
  } cases[] = {
      {Item(1.0f), {{0, 0}, {1, 1}, {77, 77}, {255, 255}}},
      {Item(2.0f), {{0, 0}, {64, 16}, {128, 64}, {192, 145}, {255, 255}}},
      {Item(0.5f), {{1, 16}, {64, 128}, {128, 181}, {192, 221}}},
      {Item(1.5f), {{64, 32}, {128, 91}, {192, 167}}},
      {Item(1.0f, 50, 200), {{0, 0}, {50, 0}, {51, 2}, {125, 128}, {200, 255}, {255, 255}}},
      {Item(1.0f, 0, 255, 20, 235), {{0, 20}, {128, 128}, {255, 235}}},
  };
  for (const auto& c : cases) {
    CBmpProcessing p;
    EXPECT_TRUE(IsIdentity(p.levelsTables[0]) && IsIdentity(p.levelsTables[1]));
    p.SetColorLevelsData(&c.item, 0);
    EXPECT_EQ(p.levelsBuilt[0], 1);
    for (const Entry& e : c.entries)
      EXPECT_EQ(p.levelsTables[0][e.in], e.out) << "gamma " << c.item.gamma << " @" << e.in;
    EXPECT_TRUE(IsIdentity(p.levelsTables[1]));  // other tables untouched
  }
}

TEST(ToneTables, LightTableMatchesWorkedExamples) {
  const struct {
    int brightness, contrast;
    std::vector<Entry> entries;
  } cases[] = {
      {50, 0, {{0, 50}, {64, 114}, {204, 254}, {205, 255}, {255, 255}}},
      {0, 100, {{0, 0}, {64, 0}, {100, 72}, {128, 128}, {191, 254}, {192, 255}, {255, 255}}},
      {20, -50, {{0, 84}, {64, 116}, {128, 148}, {255, 212}}},
  };
  for (const auto& c : cases) {
    CBmpProcessing p;
    p.SetLightTable(c.brightness, c.contrast);
    for (const Entry& e : c.entries)
      EXPECT_EQ(p.lightTable[e.in], e.out) << c.brightness << "/" << c.contrast << " @" << e.in;
  }
  CBmpProcessing flat, identity;
  flat.SetLightTable(0, -100);
  identity.SetLightTable(0, 0);
  for (int k = 0; k < 256; ++k) {
    ASSERT_EQ(flat.lightTable[k], 128);
    ASSERT_EQ(identity.lightTable[k], k);
  }
}

}  // namespace
