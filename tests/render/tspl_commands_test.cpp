// The TSPL command emitters: exact bytes, result and DEBUG record of each, the tenths-of-a-
// millimetre formats, and the refusal to write without an option record (the SIZE, BITMAP
// and cutter arithmetic is in render_cases.txt).
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
// One row per emitter at least, for its record; render_cases.txt has the other choices.
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

}  // namespace
