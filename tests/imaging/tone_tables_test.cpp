// Tone state of the image processor: levels curves (built once per table, bad items refused)
// and the brightness/contrast light table with the per-pixel mapping.
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

TEST(ToneTables, MasterItemChangesTablesZeroToTwoOnly) {
  CBmpProcessing p;
  p.levelsTables[3][10] = 99;  // table 3 is never built
  const COLORLEVELSITEM item = Item(2.0f);
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
  const COLORLEVELSITEM first = Item(2.0f), second = Item(0.5f);
  p.SetColorLevelsData(&first, 1);
  p.SetColorLevelsData(&second, 1);
  EXPECT_EQ(p.levelsTables[1][128], 64);    // still the first curve
  EXPECT_EQ(p.levelsItems[1].gamma, 0.5f);  // but the item is replaced

  // Null item, empty input range (division by zero), gamma not positive (black raised to an
  // infinite level) and indexes outside 0..3 leave the table as it was.
  CBmpProcessing q;
  q.SetColorLevelsData(nullptr, 0);
  for (const COLORLEVELSITEM& bad : {Item(1.0f, 200, 100), Item(0.0f), Item(-1.0f), Item(NAN)})
    q.SetColorLevelsData(&bad, 0);
  q.SetColorLevelsData(&first, 7);
  q.SetColorLevelsData(&first, -1);
  EXPECT_TRUE(IsIdentity(q.levelsTables[0]));
  EXPECT_EQ(q.levelsBuilt[0], 0);
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

TEST(ToneTables, LightMapsPixelsInStatedOrder) {
  const int cases[][7] = {{100, 0, 0, 0, 0, 0, 0},         // brightness; black stays black
                          {100, 0, 0, 10, 100, 100, 110},  // one channel set: all through the table
                          {-100, 251, 252, 255, 255, 255, 255},   // all above 250: white
                          {-100, 250, 255, 255, 150, 155, 155}};  // 250 is not above 250
  for (const auto& c : cases) {
    CBmpProcessing p;
    p.SetLightTable(c[0], 0);
    uint8_t r = static_cast<uint8_t>(c[1]), g = static_cast<uint8_t>(c[2]),
            b = static_cast<uint8_t>(c[3]);
    EXPECT_TRUE(p.Light(r, g, b));
    EXPECT_EQ(std::vector<int>({r, g, b}), std::vector<int>({c[4], c[5], c[6]}))
        << c[0] << " " << c[1];
  }
}

}  // namespace
