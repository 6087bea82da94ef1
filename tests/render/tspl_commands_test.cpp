// The TSPL command emitters: exact bytes, result and DEBUG record of each, the tenths-of-a-
// millimetre formats, the SIZE and BITMAP arithmetic, and the refusal to write without an
// option record.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "render/tspl_render.h"
#include "tests/support/stdout_capture.h"
#include "tests/support/trace_capture.h"

namespace {

using Emitter = std::function<bool(CTSPLRenderClass&)>;
using Lines = std::vector<std::string>;

class TsplCommandsTest : public ::testing::Test {
 protected:
  TsplCommandsTest() {
    cfg_.sOutputXDPI = cfg_.sOutputYDPI = 203;
    renderer_.SetOemCfgPointer(&cfg_);
    renderer_.SetDevModePointer(&dm_);
    renderer_.SetOemPdevPointer(&pdev_);
  }
  std::string Emit(const Emitter& emit, bool* result = nullptr) {
    quorvel::test::StdoutCapture capture;
    const bool ok = emit(renderer_);
    if (result) *result = ok;
    return capture.Take();
  }
  tagOEMCFG cfg_{};
  _DEVMODE dm_{};
  _OEMPDEV pdev_{};
  CTSPLRenderClass renderer_;
};

#define CALL(expr) [](CTSPLRenderClass& r) { return r.expr; }

struct EmitCase {
  const char* method;  // the "Method <name> in" record; null: no record
  Emitter emit;
  bool result;
  std::string bytes;
};

// Tenths of a millimetre print whole values with %d (its low 32 bits), others with one decimal.
// One row per emitter at least, for its record; the preamble test has the other choices.
const EmitCase kEmitCases[] = {
    {"OutputGapCmd", CALL(OutputGapCmd(15, -5)), true, "GAP 1.5 mm,-0.5 mm\r\n"},
    {"OutputGapCmd", CALL(OutputGapCmd(32767, -32768)), true, "GAP 3276.7 mm,-3276.8 mm\r\n"},
    {"OutputBLineCmd", CALL(OutputBLineCmd(25, 10)), true, "BLINE 2.5 mm,1 mm\r\n"},
    {"OutputFeedLenCmd", CALL(OutputFeedLenCmd(50000000000LL)), true, "OFFSET 705032704 mm\r\n"},
    {"OutputPaperTypeCmd", CALL(OutputPaperTypeCmd(2)), true, "SET RIBBON ON\r\n"},
    {"OutputPeelCmd", CALL(OutputPeelCmd(1)), true, "SET PEEL ON\r\n"},
    {"OutputTearCmd", CALL(OutputTearCmd(1)), true, "SET TEAR ON\r\n"},
    {"OutputCutterCmd", CALL(OutputCutterCmd(3)), true, "SET CUTTER 3\r\n"},
    {"OutPutDensityCommand", CALL(OutPutDensityCommand(8)), true, "DENSITY 8\r\n"},
    {"OutPutSPeedCommand", CALL(OutPutSpeedCommand(4)), true, "SPEED 4\r\n"},
    {"OutPutREFERENCECommand", CALL(OutPutREFERENCECommand({-3, 7})), true, "REFERENCE -3,7\r\n"},
    {"OutPutDIRECTIONCommand", CALL(OutPutDIRECTIONCommand(true, false)), true,
     "DIRECTION 1,0\r\n"},
    {"OutPutCLSCommand", CALL(OutPutCLSCommand()), true, "CLS\r\n"},
    {"OutputCRCMD", CALL(OutputCRCMD()), true, "\r\n"},
    {"OutPutCopiesCommand", CALL(OutPutCopiesCommand(3)), true, "PRINT 1,3\r\n"},
    {"OutPutBITMAPCommand", CALL(OutPutBITMAPCommand({0, 0, 7, 0})), true, "BITMAP 0,0,1,1,0,"},
    {nullptr, CALL(OutPutSizeCommand(8, 9)), true, "SIZE 8 dot,9 dot\r\n"},
    {nullptr,
     [](CTSPLRenderClass& r) {
       const uint8_t data[] = {'A', 0, 0xFF, '\n'};
       return r.SendCommand(data, sizeof data, 0, nullptr);
     },
     true, std::string("A\0\xFF\n", 4)},
};

TEST_F(TsplCommandsTest, EachEmitterWritesItsBytesAndTracesItsName) {
  ASSERT_TRUE(quorvel::test::TraceCapture().started()) << "the log manager did not start";
  for (const EmitCase& c : kEmitCases) {
    quorvel::test::TraceCapture trace;
    bool ok = !c.result;
    EXPECT_EQ(Emit(c.emit, &ok), c.bytes);
    EXPECT_EQ(ok, c.result) << c.bytes;
    EXPECT_EQ(trace.Messages(),
              c.method ? Lines{std::string("Method ") + c.method + " in"} : Lines{})
        << c.bytes;
  }
  // Without an option record no emitter writes anything, and each reports it.
  renderer_.SetOemCfgPointer(nullptr);
  std::vector<Emitter> emitters = {CALL(OutPutSizeCommand()), CALL(OutPutOperationMode()),
                                   CALL(StartDocCMD())};
  for (const EmitCase& c : kEmitCases) emitters.push_back(c.emit);
  for (size_t i = 0; i < emitters.size(); ++i) {
    bool ok = true;
    EXPECT_EQ(Emit(emitters[i], &ok), "") << "emitter " << i;
    EXPECT_FALSE(ok) << "emitter " << i;
  }
}

TEST_F(TsplCommandsTest, SizeOfAGivenHeightAddsTheOffsetsOrFixesTheLength) {
  // At 203 dpi: 297 mm = 2373.66, 210 mm = 1678.35, 148 mm = 1182.83, 215 mm = 1718.4 and
  // 5 mm = 39.96 dots, plus 0.5 and truncated toward zero (-5 mm gives -39).
  const struct {
    int16_t fixed, start, end, ydpi;
    int32_t height;
    const char* expected;
  } cases[] = {{1, 0, 0, 203, 5, "2374"},  {2, 0, 0, 203, 5, "1678"},  {3, 0, 0, 203, 5, "1183"},
               {2, 2, 3, 203, 5, "1718"},  {0, 2, 3, 203, 100, "140"}, {4, 2, 3, 203, 100, "140"},
               {0, -5, 0, 203, 100, "61"}, {0, 2, 3, 0, 9, "9"}};
  for (const auto& c : cases) {
    cfg_.sFixedHeight = c.fixed;
    cfg_.sStartOffsetValue = c.start;
    cfg_.sEndOffsetValue = c.end;
    cfg_.sOutputYDPI = c.ydpi;
    const int32_t height = c.height;
    EXPECT_EQ(Emit([height](auto& r) { return r.OutPutSizeCommand(400, height); }),
              std::string("SIZE 400 dot,") + c.expected + " dot\r\n");
  }
}

TEST_F(TsplCommandsTest, SizeFromTheRecordsStoresTheLabelSize) {
  dm_ = {1, 203, 203, 0};
  pdev_.srcGdiInfo.szlPhysSize = {797, 600};
  cfg_.sMaxOutputWidth = 104;  // 831.2 dots
  const Emitter size = CALL(OutPutSizeCommand());
  EXPECT_EQ(Emit(size), "SIZE 800 dot,601 dot\r\n");  // 797 up to whole bytes, height + 1
  EXPECT_EQ(pdev_.dwLabelWidth, 800u);
  EXPECT_EQ(pdev_.dwLabelHeight, 601u);
  cfg_.sRotate90 = 1;  // turned: the axes swap
  EXPECT_EQ(Emit(size), "SIZE 600 dot,798 dot\r\n");
  dm_.dmOrientation = 2;  // orientation 2 with a quarter turn is upright again
  EXPECT_EQ(Emit(size), "SIZE 800 dot,601 dot\r\n");
  cfg_.sMaxOutputWidth = 50;  // 399.6 + 0.5 -> 400 dots: the width is cut to it
  EXPECT_EQ(Emit(size), "SIZE 400 dot,601 dot\r\n");
  EXPECT_EQ(pdev_.dwLabelWidth, 400u);

  // The record of the command keeps the text up to its line end.
  dm_ = {1, 203, 300, 0};
  cfg_.sRotate90 = 0;
  pdev_.srcGdiInfo.szlPhysSize = {8, 3};
  cfg_.sMaxOutputWidth = 100;
  quorvel::test::TraceCapture trace;
  EXPECT_EQ(Emit(size), "SIZE 8 dot,3 dot\r\n");
  EXPECT_EQ(trace.Messages(),
            (Lines{"Method OutPutSizeCommand in", "dmYResolution  is 300", "dmPrintQuality  is 203",
                   "OutPutSizeCommand cmd is SIZE 8 dot,3 dot"}));
  dm_.dmPrintQuality = 0;  // no raster resolution: nothing to divide by, nothing written
  bool ok = true;
  EXPECT_EQ(Emit(size, &ok), "");
  EXPECT_FALSE(ok);
}

TEST_F(TsplCommandsTest, BitmapHeaderPlacesTheBitmap) {
  // At 203 dpi: 2.5 mm = 19.98 -> 20 dots, 5 mm = 39.96 -> 40, 2 mm = 15.98 -> 16.
  const struct {
    tagRECT rect;
    int64_t hrzOffset, vtcOffset, hrzDir, vtcDir;
    int16_t endOffset;
    const char* expected;
  } cases[] = {
      {{13, 5, 812, 104}, 0, 0, 0, 0, 0, "BITMAP 8,5,101,100,0,"},
      {{13, 5, 812, 104}, 25, 0, 1, 0, 0, "BITMAP 0,5,101,100,0,"},  // left, clipped at 0
      {{40, 5, 812, 104}, 25, 0, 1, 0, 0, "BITMAP 20,5,97,100,0,"},
      {{80, 5, 812, 104}, 25, 50, 0, 1, 0, "BITMAP 40,45,92,100,0,"},  // vertical flag: leftward
      {{0, 0, 7, 0}, 0, 0, 0, 0, 2, "BITMAP 0,16,1,1,0,"},     // the end offset moves it down
      {{0, 10, 7, 10}, 0, -50, 0, 0, 0, "BITMAP 0,0,1,1,0,"},  // moved up: clipped at 0
      {{-13, -4, 812, 104}, 0, 0, 0, 0, 0, "BITMAP 0,0,103,109,0,"},
      {{0, 0, -20, 0}, 0, 0, 0, 0, 0, "BITMAP 0,0,-1,1,0,"},  // (-20 + 8) / 8 toward zero
      {{0, 0, 7, 0}, INT64_MAX, 0, 0, 0, 0, "BITMAP 2147483647,0,1,1,0,"},  // saturates
  };
  for (const auto& c : cases) {
    cfg_.sHrzOffset = c.hrzOffset;
    cfg_.sVtcOffset = c.vtcOffset;
    cfg_.sHrzDir = c.hrzDir;
    cfg_.sVtcDir = c.vtcDir;
    cfg_.sEndOffsetValue = c.endOffset;
    const tagRECT rect = c.rect;
    EXPECT_EQ(Emit([rect](auto& r) { return r.OutPutBITMAPCommand(rect); }), c.expected);
  }
}

TEST_F(TsplCommandsTest, CopiesFollowCollationAndTheCutterTheOperationMode) {
  // Nothing repeats a raster's collated pages (CUPS repeats them and sends one copy), so
  // the header's copies are printed: collated copies are never lost.
  dm_.dmCollate = 1;
  EXPECT_EQ(Emit(CALL(OutPutCopiesCommand(3))), "PRINT 1,3\r\n");
  const struct {
    uint64_t after, mode;
    bool result;
    const char* bytes;
  } cases[] = {{4, 1, true, "SET CUTTER 1\r\n"},
               {4, 2, true, "SET CUTTER OFF\r\n"},
               {4, 3, false, ""},
               {1, 1, true, "SET CUTTER OFF\r\n"}};
  for (const auto& c : cases) {
    cfg_.dwOperationAfterPrn = c.after;
    cfg_.dwOperationModeAfterPrn = c.mode;
    bool ok = !c.result;
    EXPECT_EQ(Emit(CALL(OutPutOperationMode()), &ok), c.bytes) << c.after << "/" << c.mode;
    EXPECT_EQ(ok, c.result) << c.after << "/" << c.mode;
  }
}

}  // namespace
