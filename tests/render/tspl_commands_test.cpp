// The TSPL command emitters: exact bytes on standard output, the tenths-of-a-millimetre
// formats, the SIZE and BITMAP arithmetic, the DEBUG line of each emitter and the refusal to
// write without an option record.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "render/tspl_render.h"
#include "tests/settings/capture_util.h"

namespace {

using qevtest::capture::StdoutCapture;
using qevtest::capture::TraceCapture;

class TsplCommandsTest : public ::testing::Test {
 protected:
  TsplCommandsTest() {
    memset(&cfg_, 0, sizeof cfg_);
    memset(&dm_, 0, sizeof dm_);
    memset(&pdev_, 0, sizeof pdev_);
    cfg_.sOutputXDPI = cfg_.sOutputYDPI = 203;
    renderer_.SetOemCfgPointer(&cfg_);
    renderer_.SetDevModePointer(&dm_);
    renderer_.SetOemPdevPointer(&pdev_);
  }

  // Runs one emitter and returns its result and the bytes it wrote.
  std::pair<bool, std::string> Emit(const std::function<bool(CTSPLRenderClass&)>& emitter) {
    StdoutCapture capture;
    bool result = emitter(renderer_);
    return {result, capture.Take()};
  }

  tagOEMCFG cfg_;
  _DEVMODE dm_;
  _OEMPDEV pdev_;
  CTSPLRenderClass renderer_;
};

// Tenths of a millimetre: whole millimetres print as integers, others with one decimal; the
// two values of GAP and BLINE are formatted independently.
struct TenthsCase {
  int16_t first, second;
  const char* expected;  // the text after "<NAME> "
};

class TenthsFormatTest : public TsplCommandsTest,
                         public ::testing::WithParamInterface<std::tuple<const char*, TenthsCase>> {
};

TEST_P(TenthsFormatTest, FormatsEachValueByItsRemainder) {
  const std::string name = std::get<0>(GetParam());
  const TenthsCase& c = std::get<1>(GetParam());
  auto out = Emit([&](CTSPLRenderClass& r) {
    return name == "GAP" ? r.OutputGapCmd(c.first, c.second) : r.OutputBLineCmd(c.first, c.second);
  });
  EXPECT_TRUE(out.first);
  EXPECT_EQ(out.second, name + " " + c.expected + "\r\n");
}

const TenthsCase kTenthsCases[] = {
    {30, 0, "3 mm,0 mm"},
    {25, 10, "2.5 mm,1 mm"},
    {0, 0, "0 mm,0 mm"},
    {15, 5, "1.5 mm,0.5 mm"},
    {10, -15, "1 mm,-1.5 mm"},
    {-5, -20, "-0.5 mm,-2 mm"},
    {32767, -32768, "3276.7 mm,-3276.8 mm"},
};

INSTANTIATE_TEST_SUITE_P(GapAndBLine, TenthsFormatTest,
                         ::testing::Combine(::testing::Values("GAP", "BLINE"),
                                            ::testing::ValuesIn(kTenthsCases)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)) + "_" +
                                  std::to_string(info.index);
                         });

TEST_F(TsplCommandsTest, OffsetUsesTheSameRuleAndPrintsWholeValuesAsInt) {
  EXPECT_EQ(Emit([](auto& r) { return r.OutputFeedLenCmd(0); }).second, "OFFSET 0 mm\r\n");
  EXPECT_EQ(Emit([](auto& r) { return r.OutputFeedLenCmd(-15); }).second, "OFFSET -1.5 mm\r\n");
  EXPECT_EQ(Emit([](auto& r) { return r.OutputFeedLenCmd(20); }).second, "OFFSET 2 mm\r\n");
  EXPECT_EQ(Emit([](auto& r) { return r.OutputFeedLenCmd(7); }).second, "OFFSET 0.7 mm\r\n");
  // %d prints the low 32 bits of the 64-bit quotient: 5000000000 - 2^32.
  EXPECT_EQ(Emit([](auto& r) { return r.OutputFeedLenCmd(50000000000LL); }).second,
            "OFFSET 705032704 mm\r\n");
}

// Emitters with a fixed text per argument value; values without a command write nothing.
struct SwitchCase {
  const char* name;
  std::function<bool(CTSPLRenderClass&)> emit;
  bool result;
  const char* bytes;
};

class SwitchEmitterTest : public TsplCommandsTest,
                          public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchEmitterTest, WritesItsTextOrNothing) {
  auto out = Emit(GetParam().emit);
  EXPECT_EQ(out.first, GetParam().result);
  EXPECT_EQ(out.second, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SwitchEmitterTest,
    ::testing::Values(
        SwitchCase{"Ribbon1", [](auto& r) { return r.OutputPaperTypeCmd(1); }, true,
                   "SET RIBBON OFF\r\n"},
        SwitchCase{"Ribbon2", [](auto& r) { return r.OutputPaperTypeCmd(2); }, true,
                   "SET RIBBON ON\r\n"},
        SwitchCase{"Ribbon0", [](auto& r) { return r.OutputPaperTypeCmd(0); }, false, ""},
        SwitchCase{"Ribbon3", [](auto& r) { return r.OutputPaperTypeCmd(3); }, false, ""},
        SwitchCase{"Peel0", [](auto& r) { return r.OutputPeelCmd(0); }, true, "SET PEEL OFF\r\n"},
        SwitchCase{"Peel1", [](auto& r) { return r.OutputPeelCmd(1); }, true, "SET PEEL ON\r\n"},
        SwitchCase{"Peel2", [](auto& r) { return r.OutputPeelCmd(2); }, false, ""},
        SwitchCase{"Tear0", [](auto& r) { return r.OutputTearCmd(0); }, true, "SET TEAR OFF\r\n"},
        SwitchCase{"Tear1", [](auto& r) { return r.OutputTearCmd(1); }, true, "SET TEAR ON\r\n"},
        SwitchCase{"TearMinus1", [](auto& r) { return r.OutputTearCmd(-1); }, false, ""},
        SwitchCase{"Cutter0", [](auto& r) { return r.OutputCutterCmd(0); }, true,
                   "SET CUTTER OFF\r\n"},
        SwitchCase{"Cutter1", [](auto& r) { return r.OutputCutterCmd(1); }, true,
                   "SET CUTTER 1\r\n"},
        SwitchCase{"Cutter3", [](auto& r) { return r.OutputCutterCmd(3); }, true,
                   "SET CUTTER 3\r\n"},
        SwitchCase{"Density8", [](auto& r) { return r.OutPutDensityCommand(8); }, true,
                   "DENSITY 8\r\n"},
        SwitchCase{"Density1000", [](auto& r) { return r.OutPutDensityCommand(1000); }, true, ""},
        SwitchCase{"Speed4", [](auto& r) { return r.OutPutSpeedCommand(4); }, true, "SPEED 4\r\n"},
        SwitchCase{"Speed1000", [](auto& r) { return r.OutPutSpeedCommand(1000); }, true, ""},
        SwitchCase{"Reference",
                   [](auto& r) {
                     return r.OutPutREFERENCECommand({-3, 7});
                   },
                   true, "REFERENCE -3,7\r\n"},
        SwitchCase{"Direction", [](auto& r) { return r.OutPutDIRECTIONCommand(true, false); }, true,
                   "DIRECTION 1,0\r\n"},
        SwitchCase{"Cls", [](auto& r) { return r.OutPutCLSCommand(); }, true, "CLS\r\n"},
        SwitchCase{"CrLf", [](auto& r) { return r.OutputCRCMD(); }, true, "\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TsplCommandsTest, FixedHeightSizeIgnoresTheHeightArgument) {
  // 210 mm at 203 dpi is 1678.35 dots; 297 mm 2373.66; 148 mm 1182.83 (plus 0.5, truncated).
  const std::pair<int16_t, const char*> cases[] = {{1, "SIZE 400 dot,2374 dot\r\n"},
                                                   {2, "SIZE 400 dot,1678 dot\r\n"},
                                                   {3, "SIZE 400 dot,1183 dot\r\n"}};
  for (const auto& c : cases) {
    cfg_.sFixedHeight = c.first;
    auto out = Emit([](auto& r) { return r.OutPutSizeCommand(400, 5); });
    EXPECT_TRUE(out.first);
    EXPECT_EQ(out.second, c.second) << "sFixedHeight " << c.first;
  }
  // The offsets lengthen a fixed label too: 210 + 2 + 3 mm = 1718.4 dots.
  cfg_.sFixedHeight = 2;
  cfg_.sStartOffsetValue = 2;
  cfg_.sEndOffsetValue = 3;
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(400, 5); }).second,
            "SIZE 400 dot,1718 dot\r\n");
}

TEST_F(TsplCommandsTest, FollowingSizeAddsTheOffsetsInDots) {
  cfg_.sStartOffsetValue = 2;
  cfg_.sEndOffsetValue = 3;  // 5 mm = 39.96 dots -> 40
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(400, 100); }).second,
            "SIZE 400 dot,140 dot\r\n");
  cfg_.sFixedHeight = 4;  // not a fixed length: follows the page like 0
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(400, 100); }).second,
            "SIZE 400 dot,140 dot\r\n");
  // Negative offsets truncate toward zero: -39.96 + 0.5 = -39.46 -> -39.
  cfg_.sFixedHeight = 0;
  cfg_.sStartOffsetValue = -5;
  cfg_.sEndOffsetValue = 0;
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(400, 100); }).second,
            "SIZE 400 dot,61 dot\r\n");
  // Without a resolution every length is 0 dots.
  cfg_.sOutputYDPI = 0;
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(8, 9); }).second, "SIZE 8 dot,9 dot\r\n");
}

TEST_F(TsplCommandsTest, SizeFromTheRecordsStoresTheLabelSize) {
  dm_.dmOrientation = 1;
  dm_.dmPrintQuality = 203;
  dm_.dmYResolution = 203;
  pdev_.srcGdiInfo.szlPhysSize = {797, 600};
  cfg_.sMaxOutputWidth = 104;  // 831.2 dots
  auto out = Emit([](auto& r) { return r.OutPutSizeCommand(); });
  EXPECT_TRUE(out.first);
  EXPECT_EQ(out.second, "SIZE 800 dot,601 dot\r\n");  // 797 rounded up to 800, height + 1
  EXPECT_EQ(pdev_.dwLabelWidth, 800u);
  EXPECT_EQ(pdev_.dwLabelHeight, 601u);

  cfg_.sRotate90 = 1;  // turned: the axes swap
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(); }).second, "SIZE 600 dot,798 dot\r\n");
  dm_.dmOrientation = 2;  // orientation 2 with a quarter turn is upright again
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(); }).second, "SIZE 800 dot,601 dot\r\n");

  cfg_.sMaxOutputWidth = 50;  // 399.6 + 0.5 -> 400 dots: the width is cut to it
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutSizeCommand(); }).second, "SIZE 400 dot,601 dot\r\n");
  EXPECT_EQ(pdev_.dwLabelWidth, 400u);

  dm_.dmPrintQuality = 0;  // no raster resolution: nothing to divide by, nothing written
  auto none = Emit([](auto& r) { return r.OutPutSizeCommand(); });
  EXPECT_FALSE(none.first);
  EXPECT_EQ(none.second, "");
}

struct BitmapCase {
  const char* name;
  tagRECT rect;
  int64_t hrzOffset, vtcOffset, hrzDir, vtcDir;
  int16_t endOffset;
  const char* expected;
};

class BitmapHeaderTest : public TsplCommandsTest,
                         public ::testing::WithParamInterface<BitmapCase> {};

TEST_P(BitmapHeaderTest, PlacesTheBitmap) {
  const BitmapCase& c = GetParam();
  cfg_.sHrzOffset = c.hrzOffset;
  cfg_.sVtcOffset = c.vtcOffset;
  cfg_.sHrzDir = c.hrzDir;
  cfg_.sVtcDir = c.vtcDir;
  cfg_.sEndOffsetValue = c.endOffset;
  auto out = Emit([&](auto& r) { return r.OutPutBITMAPCommand(c.rect); });
  EXPECT_TRUE(out.first);
  EXPECT_EQ(out.second, c.expected);  // the header only: no line end
}

// At 203 dpi: 2.5 mm = 19.98 -> 20 dots, 5 mm = 39.96 -> 40 dots, 2 mm = 15.98 -> 16 dots.
INSTANTIATE_TEST_SUITE_P(
    Rects, BitmapHeaderTest,
    ::testing::Values(
        BitmapCase{"NoOffsets", {13, 5, 812, 104}, 0, 0, 0, 0, 0, "BITMAP 8,5,101,100,0,"},
        BitmapCase{"RightOffset", {13, 5, 812, 104}, 25, 0, 0, 0, 0, "BITMAP 28,5,101,100,0,"},
        BitmapCase{
            "LeftOffsetClipsAtZero", {13, 5, 812, 104}, 25, 0, 1, 0, 0, "BITMAP 0,5,101,100,0,"},
        BitmapCase{"LeftOffset", {40, 5, 812, 104}, 25, 0, 1, 0, 0, "BITMAP 20,5,97,100,0,"},
        // The vertical direction flag turns the vertical offset into a leftward shift.
        BitmapCase{"VerticalFlag", {80, 5, 812, 104}, 25, 50, 0, 1, 0, "BITMAP 40,45,92,100,0,"},
        BitmapCase{"EndOffsetMovesDown", {0, 0, 7, 0}, 0, 0, 0, 0, 2, "BITMAP 0,16,1,1,0,"},
        BitmapCase{
            "NegativeLeftAndTop", {-13, -4, 812, 104}, 0, 0, 0, 0, 0, "BITMAP 0,0,103,109,0,"},
        // (-20 - 0 + 8) / 8 truncates toward zero: -1.
        BitmapCase{"NegativeWidthTruncates", {0, 0, -20, 0}, 0, 0, 0, 0, 0, "BITMAP 0,0,-1,1,0,"},
        BitmapCase{"UpwardOffsetClipsAtZero", {0, 10, 7, 10}, 0, -50, 0, 0, 0, "BITMAP 0,0,1,1,0,"},
        // An absurd offset saturates instead of overflowing the dot conversion.
        BitmapCase{"HugeOffsetSaturates",
                   {0, 0, 7, 0},
                   INT64_MAX,
                   0,
                   0,
                   0,
                   0,
                   "BITMAP 2147483647,0,1,1,0,"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TsplCommandsTest, CopiesFollowCollation) {
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutCopiesCommand(3); }).second, "PRINT 1,3\r\n");
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutCopiesCommand(0); }).second, "PRINT 1,0\r\n");
  dm_.dmCollate = 1;
  EXPECT_EQ(Emit([](auto& r) { return r.OutPutCopiesCommand(3); }).second, "PRINT 1,1\r\n");
}

TEST_F(TsplCommandsTest, OperationModeSetsTheCutter) {
  const struct {
    uint64_t after, mode;
    bool result;
    const char* bytes;
  } cases[] = {{4, 1, true, "SET CUTTER 1\r\n"},
               {4, 2, true, "SET CUTTER OFF\r\n"},
               {4, 3, false, ""},
               {1, 1, true, "SET CUTTER OFF\r\n"},
               {0, 0, true, "SET CUTTER OFF\r\n"}};
  for (const auto& c : cases) {
    cfg_.dwOperationAfterPrn = c.after;
    cfg_.dwOperationModeAfterPrn = c.mode;
    auto out = Emit([](auto& r) { return r.OutPutOperationMode(); });
    EXPECT_EQ(out.first, c.result) << c.after << "/" << c.mode;
    EXPECT_EQ(out.second, c.bytes) << c.after << "/" << c.mode;
  }
}

TEST_F(TsplCommandsTest, SendCommandWritesBytesAsGiven) {
  const uint8_t data[] = {'A', 0, 0xFF, '\n'};
  auto out = Emit([&](auto& r) { return r.SendCommand(data, sizeof data, 0, nullptr); });
  EXPECT_TRUE(out.first);
  EXPECT_EQ(out.second, std::string("A\0\xFF\n", 4));
}

TEST_F(TsplCommandsTest, WithoutOptionRecordNothingIsWritten) {
  renderer_.SetOemCfgPointer(nullptr);
  const std::function<bool(CTSPLRenderClass&)> emitters[] = {
      [](auto& r) { return r.OutputCRCMD(); },
      [](auto& r) { return r.OutPutCLSCommand(); },
      [](auto& r) { return r.OutPutSizeCommand(1, 2); },
      [](auto& r) { return r.OutPutSizeCommand(); },
      [](auto& r) { return r.OutputGapCmd(1, 2); },
      [](auto& r) { return r.OutputBLineCmd(1, 2); },
      [](auto& r) { return r.OutputPaperTypeCmd(1); },
      [](auto& r) { return r.OutputPeelCmd(1); },
      [](auto& r) { return r.OutputTearCmd(1); },
      [](auto& r) { return r.OutputCutterCmd(1); },
      [](auto& r) { return r.OutputFeedLenCmd(1); },
      [](auto& r) {
        return r.OutPutREFERENCECommand({0, 0});
      },
      [](auto& r) { return r.OutPutDIRECTIONCommand(true, false); },
      [](auto& r) { return r.OutPutDensityCommand(1000); },
      [](auto& r) { return r.OutPutSpeedCommand(1000); },
      [](auto& r) {
        return r.OutPutBITMAPCommand({0, 0, 7, 0});
      },
      [](auto& r) { return r.OutPutCopiesCommand(1); },
      [](auto& r) { return r.OutPutOperationMode(); },
      [](auto& r) {
        const uint8_t b = 'x';
        return r.SendCommand(&b, 1, 0, nullptr);
      },
      [](auto& r) { return r.StartDocCMD(); },
  };
  for (size_t i = 0; i < std::size(emitters); ++i) {
    auto out = Emit(emitters[i]);
    EXPECT_FALSE(out.first) << "emitter " << i;
    EXPECT_EQ(out.second, "") << "emitter " << i;
  }
}

TEST_F(TsplCommandsTest, EachEmitterTracesItsName) {
  TraceCapture trace;
  ASSERT_TRUE(trace.started()) << "the log manager did not start";
  const std::pair<const char*, std::function<bool(CTSPLRenderClass&)>> cases[] = {
      {"Method OutputCRCMD in", [](auto& r) { return r.OutputCRCMD(); }},
      {"Method OutPutCLSCommand in", [](auto& r) { return r.OutPutCLSCommand(); }},
      {"Method OutputGapCmd in", [](auto& r) { return r.OutputGapCmd(1, 2); }},
      {"Method OutputBLineCmd in", [](auto& r) { return r.OutputBLineCmd(1, 2); }},
      {"Method OutputPaperTypeCmd in", [](auto& r) { return r.OutputPaperTypeCmd(3); }},
      {"Method OutputPeelCmd in", [](auto& r) { return r.OutputPeelCmd(0); }},
      {"Method OutputTearCmd in", [](auto& r) { return r.OutputTearCmd(0); }},
      {"Method OutputCutterCmd in", [](auto& r) { return r.OutputCutterCmd(0); }},
      {"Method OutputFeedLenCmd in", [](auto& r) { return r.OutputFeedLenCmd(0); }},
      {"Method OutPutREFERENCECommand in", [](auto& r) { return r.OutPutREFERENCECommand({}); }},
      {"Method OutPutDIRECTIONCommand in",
       [](auto& r) { return r.OutPutDIRECTIONCommand(true, true); }},
      {"Method OutPutDensityCommand in", [](auto& r) { return r.OutPutDensityCommand(1000); }},
      {"Method OutPutSPeedCommand in", [](auto& r) { return r.OutPutSpeedCommand(1000); }},
      {"Method OutPutBITMAPCommand in",
       [](auto& r) {
         return r.OutPutBITMAPCommand({0, 0, 7, 0});
       }},
      {"Method OutPutCopiesCommand in", [](auto& r) { return r.OutPutCopiesCommand(1); }},
      {"Method OutPutOperationMode in", [](auto& r) { return r.OutPutOperationMode(); }},
  };
  for (const auto& c : cases) {
    TraceCapture one;
    Emit(c.second);
    EXPECT_EQ(one.Messages(), std::vector<std::string>{c.first});
  }
  // The two-argument SIZE form and SendCommand trace nothing.
  TraceCapture quiet;
  Emit([](auto& r) { return r.OutPutSizeCommand(1, 1); });
  const uint8_t b = 'x';
  Emit([&](auto& r) { return r.SendCommand(&b, 1, 0, nullptr); });
  EXPECT_TRUE(quiet.Messages().empty());

  // The argument-less SIZE form traces the resolutions and the command it sends (whose own
  // line end the record keeps, so the record text ends before it).
  dm_ = {1, 203, 300, 0};
  pdev_.srcGdiInfo.szlPhysSize = {8, 3};
  cfg_.sMaxOutputWidth = 100;
  TraceCapture size;
  Emit([](auto& r) { return r.OutPutSizeCommand(); });
  EXPECT_EQ(size.Messages(),
            (std::vector<std::string>{"Method OutPutSizeCommand in", "dmYResolution  is 300",
                                      "dmPrintQuality  is 203",
                                      "OutPutSizeCommand cmd is SIZE 8 dot,3 dot"}));
}

}  // namespace
