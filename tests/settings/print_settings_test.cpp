// Job configuration: the option record's reset and reader order, the device mode and page
// device taken from the first page header, and InitPrintSetting's sequence up to the preamble.
#include "settings/print_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "render/tspl_render.h"
#include "tests/settings/capture_util.h"
#include "tests/settings/ppd_fixture.h"
#include "tests/support/raster_writer.h"

namespace {

using qevtest::NumericOption;
using qevtest::PpdFixture;
using qevtest::capture::StdoutCapture;
using qevtest::capture::TraceCapture;

cups_page_header2_t ExampleHeader() {
  qevtest::RasterPage page;
  page.width = 800;
  page.height = 600;
  page.copies = 3;
  page.orientation = CUPS_ORIENT_90;  // landscape still gives dmOrientation 1
  return qevtest::MakeHeader(page);
}

class PrintSettingsTest : public PpdFixture {
 protected:
  PrintSettingsTest() {
    memset(&cfg_, 0xA5, sizeof cfg_);  // not zero: the reset must clear it
  }
  tagOEMCFG cfg_;
};

TEST_F(PrintSettingsTest, PpdWithOnlyOutputDpiGivesZerosAndSixRecords) {
  ppd_file_t* ppd = OpenWith({});
  ASSERT_NE(ppd, nullptr);
  cups_page_header2_t header = ExampleHeader();
  TraceCapture trace;
  InitalizeOemCfg(&cfg_, ppd, &header);

  tagOEMCFG expected;
  memset(&expected, 0, sizeof expected);
  expected.sOutputXDPI = expected.sOutputYDPI = 203;
  EXPECT_EQ(memcmp(&cfg_, &expected, sizeof cfg_), 0);
  ASSERT_TRUE(trace.started()) << "the log manager did not start";
  EXPECT_EQ(trace.Messages(),
            (std::vector<std::string>{"Init sRotation: 0, sRotate90: 0",
                                      "Init sOutputXDPI: 203, sOutputYDPI: 203",
                                      "Init sAutoRotate90: 0", "Init sFixedHeight: 0",
                                      "Init sStartOffsetValue: 0", "Init sEndOffsetValue: 0"}));
}

TEST_F(PrintSettingsTest, ReadersRunInTheirFixedOrder) {
  // Every option present, each with a distinct code, so every reader leaves one record.
  const char* options[] = {"Mirror",
                           "Rotation",
                           "NegativeFilm",
                           "Density",
                           "HorizontalOffset",
                           "HorizontalOffsetValue",
                           "VerticalOffset",
                           "VerticalOffsetValue",
                           "Brightness",
                           "Contrast",
                           "Levels",
                           "Halftone",
                           "PrintMethod",
                           "MediaType",
                           "GAPOffset",
                           "GAPHeight",
                           "Mode",
                           "CutMethod",
                           "Interval",
                           "Feed",
                           "MaxOutputWidth",
                           "IsToDashed",
                           "MinLength",
                           "IntervalBlack",
                           "IntervalWhite",
                           "SavePaper",
                           "PrintMode",
                           "PrintSpeed",
                           "AutoRotate",
                           "FixedHeight",
                           "StartOffsetValue",
                           "EndOffsetValue"};
  std::vector<qevtest::PpdOption> list;
  for (const char* o : options) list.push_back(NumericOption(o, "2", {"2"}));
  ppd_file_t* ppd = OpenWith(list);
  ASSERT_NE(ppd, nullptr);
  cups_page_header2_t header = ExampleHeader();
  TraceCapture trace;
  InitalizeOemCfg(&cfg_, ppd, &header);
  EXPECT_EQ(cfg_.sPaperType, 2);
  EXPECT_EQ(cfg_.GAPHeight, 20);
  EXPECT_EQ(cfg_.nBrightness, -196);
  ASSERT_TRUE(trace.started()) << "the log manager did not start";
  EXPECT_EQ(trace.Messages(), (std::vector<std::string>{"Init sMirror: 2",
                                                        "Init sRotation: 1, sRotate90: 0",
                                                        "Init bNegative: 2",
                                                        "Init sDensity: 2",
                                                        "Init sHrzDir: 2",
                                                        "Init sHrzOffset: 20",
                                                        "Init sVtcDir: 2",
                                                        "Init sVtcOffset: 20",
                                                        "Init nBrightness: -196",
                                                        "Init nContrast: -196",
                                                        "Init nLevelsAdj: 981",
                                                        "Init sHalftoneMethod: 2",
                                                        "Init sPaperType: 2",
                                                        "Init sLabelType: 2",
                                                        "Init GAPOffset: 20",
                                                        "Init GAPHeight: 20",
                                                        "Init dwOperationAfterPrn: 2",
                                                        "Init dwOperationModeAfterPrn: 2",
                                                        "Init sIntervalValue: 2",
                                                        "Init sFeedLen: 20",
                                                        "Init sOutputXDPI: 203, sOutputYDPI: 203",
                                                        "Init sMaxOutputWidth: 2",
                                                        "Init sIsLineImaginary: 2",
                                                        "Init sMinImaginaryLineLen: 2",
                                                        "Init sBlackInterval: 2",
                                                        "Init sWhiteInterval: 2",
                                                        "Init sSavePaperMode: 2",
                                                        "Init sPaperMode: 2",
                                                        "Init sPrintSpeed: 2",
                                                        "Init sAutoRotate90: 2",
                                                        "Init sFixedHeight: 2",
                                                        "Init sStartOffsetValue: 2",
                                                        "Init sEndOffsetValue: 2"}));
}

TEST_F(PrintSettingsTest, DeviceModeAndPageDeviceFromTheHeader) {
  cups_page_header2_t header = ExampleHeader();
  _DEVMODE dm;
  memset(&dm, 0x5A, sizeof dm);
  _OEMPDEV pdev;
  memset(&pdev, 0, sizeof pdev);
  pdev.dwBufSize = 77;  // not one of the derived fields: left alone
  pdev.srcGdiInfo.ptlPhysOffset = {4, 5};
  pdev.dwCurPageNum = pdev.dwPagePrinted = 9;
  TraceCapture trace;
  InitDevmode(&dm, &header);
  InitOemPDEV(&pdev, &header);

  EXPECT_EQ(dm.dmOrientation, 1);
  EXPECT_EQ(dm.dmPrintQuality, 203);
  EXPECT_EQ(dm.dmYResolution, 203);
  EXPECT_EQ(dm.dmCollate, 0);
  EXPECT_EQ(pdev.pBufStart, nullptr);
  EXPECT_EQ(pdev.bmInfoHeader.biWidth, 800);
  EXPECT_EQ(pdev.bmInfoHeader.biHeight, 600);
  EXPECT_EQ(pdev.bmInfoHeader.biBitCount, 24);
  EXPECT_EQ(pdev.bmInfoHeader.biSizeImage, 0u);
  EXPECT_EQ(pdev.srcGdiInfo.ulVertRes, 600u);
  EXPECT_EQ(pdev.srcGdiInfo.ptlPhysOffset.x, 0);
  EXPECT_EQ(pdev.srcGdiInfo.ptlPhysOffset.y, 0);
  EXPECT_EQ(pdev.srcGdiInfo.szlPhysSize.cx, 800);
  EXPECT_EQ(pdev.srcGdiInfo.szlPhysSize.cy, 600);
  EXPECT_EQ(pdev.sCurCopies, 3);
  EXPECT_EQ(pdev.dwCurPageNum, 0u);
  EXPECT_EQ(pdev.dwPagePrinted, 0u);
  EXPECT_EQ(pdev.dwBufSize, 77u);

  ASSERT_TRUE(trace.started()) << "the log manager did not start";
  EXPECT_EQ(
      trace.Messages(),
      (std::vector<std::string>{
          "Init dmPrintQuality: 203, dmYResolution: 203", "Init dmOrientation: 1",
          "Init dmCollate: 0", "Init bmInfoHeader.biWidth: 800", "Init bmInfoHeader.biHeight: 600",
          "Init bmInfoHeader.biBitCount: 24", "Init sCurCopies: 3", "Init dwPagePrinted: 0",
          "Init dwCurPageNum: 0", "Init srcGdiInfo.szlPhysSize.cx: 800",
          "Init srcGdiInfo.szlPhysSize.cy: 600", "Init srcGdiInfo.ptlPhysOffset.x: 0",
          "Init srcGdiInfo.ptlPhysOffset.y: 0", "Init srcGdiInfo.ulVertRes: 600"}));
}

TEST_F(PrintSettingsTest, FirstPageConfiguresTheJobAndWritesThePreamble) {
  ppd_file_t* ppd = OpenWith(
      {NumericOption("MediaType", "1", {"0", "1", "2"}), NumericOption("GAPHeight", "3", {"3"}),
       NumericOption("PrintMethod", "1", {"1", "2", "3"}), NumericOption("Density", "8", {"8"}),
       NumericOption("PrintSpeed", "4", {"4"}), NumericOption("Mode", "3", {"3"})});
  ASSERT_NE(ppd, nullptr);
  cups_page_header2_t header = ExampleHeader();
  CTSPLRenderClass renderer;

  // Only page 1 configures the job.
  memset(&gOemCfg, 0, sizeof gOemCfg);
  StdoutCapture none;
  InitPrintSetting(2, ppd, &header, &renderer);
  InitPrintSetting(1, nullptr, &header, &renderer);
  InitPrintSetting(1, ppd, nullptr, &renderer);
  EXPECT_EQ(none.Take(), "");
  EXPECT_EQ(gOemCfg.sOutputXDPI, 0);

  TraceCapture trace;
  StdoutCapture out;
  InitPrintSetting(1, ppd, &header, &renderer);
  EXPECT_EQ(out.Take(),
            "CLS\r\nGAP 3 mm,0 mm\r\nSET RIBBON OFF\r\nDIRECTION 1,0\r\nREFERENCE 0,0\r\n"
            "DENSITY 8\r\nSPEED 4\r\nOFFSET 0 mm\r\nSET TEAR ON\r\nSET PEEL OFF\r\n"
            "SET CUTTER OFF\r\n");
  EXPECT_EQ(gDevMode.dmPrintQuality, 203);
  EXPECT_EQ(gOemPDev.sCurCopies, 3);
  ASSERT_TRUE(trace.started()) << "the log manager did not start";
  std::vector<std::string> records = trace.Messages();
  ASSERT_GE(records.size(), 4u);
  EXPECT_EQ(records.front(), "Begin to initialize configures");
  EXPECT_EQ(records.back(), "Result of StartDocCMD is 1");
  // Options, then the three device-mode and eleven page-device records, then the preamble.
  auto at = [&](const std::string& text) {
    return std::find(records.begin(), records.end(), text) - records.begin();
  };
  EXPECT_LT(at("Init sEndOffsetValue: 0"), at("Init dmPrintQuality: 203, dmYResolution: 203"));
  EXPECT_EQ(at("Init srcGdiInfo.ulVertRes: 600") + 1, at("Initializing configures finish"));
  EXPECT_EQ(at("Initializing configures finish") + 1, at("Method StartDocCMD in"));

  // A print method without a ribbon command: the preamble stops, the result is traced as 0.
  ppdMarkOption(ppd, "PrintMethod", "V3");
  TraceCapture failed;
  StdoutCapture partial;
  InitPrintSetting(1, ppd, &header, &renderer);
  EXPECT_EQ(partial.Take(), "CLS\r\nGAP 3 mm,0 mm\r\n");
  EXPECT_EQ(failed.Messages().back(), "Result of StartDocCMD is 0");
}

}  // namespace
