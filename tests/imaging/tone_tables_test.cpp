// Tone state of the image processor: levels curves (built once per table) and the
// brightness/contrast light table with the per-pixel mapping.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/bmp_processing.h"

namespace {

struct Entry {
  int in, out;
};

struct CurveCase {
  const char* name;
  COLORLEVELSITEM item;
  std::vector<Entry> entries;
};

COLORLEVELSITEM Item(float gamma, int iL, int iH, int oL, int oH) {
  COLORLEVELSITEM item;
  item.gamma = gamma;
  item.inputLow = static_cast<uint8_t>(iL);
  item.inputHigh = static_cast<uint8_t>(iH);
  item.outputLow = static_cast<uint8_t>(oL);
  item.outputHigh = static_cast<uint8_t>(oH);
  return item;
}

TEST(ToneTables, ConstructorLeavesNeutralState) {
  CBmpProcessing p;
  for (int t = 0; t < 3; ++t)
    for (int k = 0; k < 256; ++k) ASSERT_EQ(p.levelsTables[t][k], k);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(p.levelsBuilt[i], 0);
    EXPECT_EQ(p.levelsItems[i].gamma, 1.0f);
    EXPECT_EQ(p.levelsItems[i].inputHigh, 255);
  }
}

TEST(ToneTables, CurvesMatchWorkedExamples) {
  const std::vector<CurveCase> cases = {
      {"default", Item(1.0f, 0, 255, 0, 255), {{0, 0}, {1, 1}, {77, 77}, {128, 128}, {255, 255}}},
      {"gamma 2",
       Item(2.0f, 0, 255, 0, 255),
       {{0, 0}, {64, 16}, {128, 64}, {192, 145}, {255, 255}}},
      {"gamma 0.5", Item(0.5f, 0, 255, 0, 255), {{1, 16}, {64, 128}, {128, 181}, {192, 221}}},
      {"gamma 1.5", Item(1.5f, 0, 255, 0, 255), {{64, 32}, {128, 91}, {192, 167}}},
      {"input 50..200",
       Item(1.0f, 50, 200, 0, 255),
       {{0, 0}, {50, 0}, {51, 2}, {125, 128}, {200, 255}, {255, 255}}},
      {"output 20..235", Item(1.0f, 0, 255, 20, 235), {{0, 20}, {128, 128}, {255, 235}}},
  };
  for (const CurveCase& c : cases) {
    CBmpProcessing p;
    p.SetColorLevelsData(&c.item, 0);
    EXPECT_EQ(p.levelsBuilt[0], 1) << c.name;
    for (const Entry& e : c.entries)
      EXPECT_EQ(p.levelsTables[0][e.in], e.out) << c.name << " @" << e.in;
    for (int k = 0; k < 256; ++k)
      ASSERT_EQ(p.levelsTables[1][k], k) << c.name;  // other tables untouched
  }
}

TEST(ToneTables, MasterItemChangesTablesZeroToTwoOnly) {
  CBmpProcessing p;
  p.levelsTables[3][10] = 99;  // table 3 is never built
  const COLORLEVELSITEM item = Item(2.0f, 0, 255, 0, 255);
  p.SetColorLevelsData(&item, 3);
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(p.levelsTables[t][128], 64);
    EXPECT_EQ(p.levelsBuilt[t], 1);
  }
  EXPECT_EQ(p.levelsTables[3][10], 99);
  EXPECT_EQ(p.levelsBuilt[3], 0);
}

TEST(ToneTables, TableIsBuiltOnceAndBadItemsAreRefused) {
  CBmpProcessing p;
  const COLORLEVELSITEM first = Item(2.0f, 0, 255, 0, 255);
  const COLORLEVELSITEM second = Item(0.5f, 0, 255, 0, 255);
  p.SetColorLevelsData(&first, 1);
  p.SetColorLevelsData(&second, 1);
  EXPECT_EQ(p.levelsTables[1][128], 64);    // still the first curve
  EXPECT_EQ(p.levelsItems[1].gamma, 0.5f);  // but the item is replaced

  CBmpProcessing q;
  q.SetColorLevelsData(nullptr, 0);
  const COLORLEVELSITEM inverted = Item(1.0f, 200, 100, 0, 255);
  q.SetColorLevelsData(&inverted, 0);  // empty input range: no division by zero
  q.SetColorLevelsData(&first, 7);     // no such table
  q.SetColorLevelsData(&first, -1);
  for (int k = 0; k < 256; ++k) ASSERT_EQ(q.levelsTables[0][k], k);
  EXPECT_EQ(q.levelsBuilt[0], 0);
}

TEST(ToneTables, LightTableMatchesWorkedExamples) {
  struct LightCase {
    int brightness, contrast;
    std::vector<Entry> entries;
  };
  const std::vector<LightCase> cases = {
      {0, 0, {{0, 0}, {1, 1}, {128, 128}, {200, 200}, {255, 255}}},
      {50, 0, {{0, 50}, {64, 114}, {204, 254}, {205, 255}, {255, 255}}},
      {0, 100, {{0, 0}, {64, 0}, {100, 72}, {128, 128}, {191, 254}, {192, 255}, {255, 255}}},
      {20, -50, {{0, 84}, {64, 116}, {128, 148}, {255, 212}}},
  };
  for (const LightCase& c : cases) {
    CBmpProcessing p;
    p.SetLightTable(c.brightness, c.contrast);
    for (const Entry& e : c.entries)
      EXPECT_EQ(p.lightTable[e.in], e.out) << c.brightness << "/" << c.contrast << " @" << e.in;
  }
  CBmpProcessing flat;
  flat.SetLightTable(0, -100);
  for (int k = 0; k < 256; ++k) ASSERT_EQ(flat.lightTable[k], 128);
  CBmpProcessing identity;
  identity.SetLightTable(0, 0);
  for (int k = 0; k < 256; ++k) ASSERT_EQ(identity.lightTable[k], k);
}

TEST(ToneTables, LightMapsPixelsInStatedOrder) {
  CBmpProcessing p;
  p.SetLightTable(100, 50);
  uint8_t r = 0, g = 0, b = 0;
  EXPECT_TRUE(p.Light(r, g, b));
  EXPECT_EQ(r + g + b, 0);  // black stays black whatever the brightness

  r = 251, g = 252, b = 255;
  p.Light(r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, 255);

  CBmpProcessing dark;
  dark.SetLightTable(-100, 0);
  r = 250, g = 255, b = 255;  // 250 is not above 250: through the table
  dark.Light(r, g, b);
  EXPECT_EQ(r, 150);
  EXPECT_EQ(g, 155);
  EXPECT_EQ(b, 155);
  r = 0, g = 0, b = 10;
  dark.Light(r, g, b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(b, 0);
}

}  // namespace
