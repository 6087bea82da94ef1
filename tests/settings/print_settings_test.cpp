// Job configuration: the device mode and page device taken from the first page header, and
// InitPrintSetting's sequence up to the preamble (the option record is option_cases.txt's).
#include "settings/print_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "filter/rastoqevtspl.h"
#include "render/tspl_render.h"
#include "tests/support/ppd_fixture.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"
#include "tests/support/trace_capture.h"

namespace {

using quorvel::test::NumericOption;
using quorvel::test::TraceCapture;

cups_page_header2_t ExampleHeader() {
  quorvel::test::RasterPage page;
  page.width = 800;
  page.height = 600;
  page.copies = 3;
  page.orientation = CUPS_ORIENT_90;  // landscape still gives dmOrientation 1
  return quorvel::test::MakeHeader(page);
}

class PrintSettingsTest : public quorvel::test::PpdFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TraceCapture().started()) << "the log manager did not start";
  }
  cups_page_header2_t header_ = ExampleHeader();
};

TEST_F(PrintSettingsTest, DeviceModeAndPageDeviceFromTheHeader) {
  // Distinct resolutions and a landscape page, so a swapped axis or orientation shows; the
  // fields are read back through their trace records.
  cups_page_header2_t header = header_;
  header.HWResolution[0] = 300;
  header.HWResolution[1] = 600;
  _DEVMODE dm;
  memset(&dm, 0x5A, sizeof dm);
  _OEMPDEV pdev{};
  pdev.srcGdiInfo.ptlPhysOffset = {4, 5};
  pdev.dwCurPageNum = pdev.dwPagePrinted = 9;
  TraceCapture trace;
  InitDevmode(&dm, &header);
  InitOemPDEV(&pdev, &header);
  std::string records;
  for (const std::string& m : trace.Messages()) records += m + "|";
  EXPECT_EQ(records,
            "Init dmPrintQuality: 300, dmYResolution: 600|Init dmOrientation: 1|"
            "Init dmCollate: 0|Init bmInfoHeader.biWidth: 800|Init bmInfoHeader.biHeight: 600|"
            "Init bmInfoHeader.biBitCount: 24|Init sCurCopies: 3|Init dwPagePrinted: 0|"
            "Init dwCurPageNum: 0|Init srcGdiInfo.szlPhysSize.cx: 800|"
            "Init srcGdiInfo.szlPhysSize.cy: 600|Init srcGdiInfo.ptlPhysOffset.x: 0|"
            "Init srcGdiInfo.ptlPhysOffset.y: 0|Init srcGdiInfo.ulVertRes: 600|");
}

TEST_F(PrintSettingsTest, OnlyTheFirstPageConfiguresTheJob) {
  // A print method without a ribbon command ends the preamble after the media line.
  ppd_file_t* ppd =
      OpenWith({NumericOption("MediaType", "1", {"1"}), NumericOption("GAPHeight", "3", {"3"}),
                NumericOption("PrintMethod", "3", {"3"})});
  ASSERT_NE(ppd, nullptr);
  CTSPLRenderClass renderer;
  // Only page 1 with a PPD and a header configures the job.
  memset(&gOemCfg, 0, sizeof gOemCfg);
  quorvel::test::StdoutCapture none;
  InitPrintSetting(2, ppd, &header_, &renderer);
  InitPrintSetting(1, nullptr, &header_, &renderer);
  InitPrintSetting(1, ppd, nullptr, &renderer);
  EXPECT_EQ(none.Take(), "");
  EXPECT_EQ(gOemCfg.sOutputXDPI, 0);

  // Page 1 configures the records and writes the preamble; a failure is traced as 0.
  TraceCapture failed;
  quorvel::test::StdoutCapture partial;
  InitPrintSetting(1, ppd, &header_, &renderer);
  EXPECT_EQ(partial.Take(), "CLS\r\nGAP 3 mm,0 mm\r\n");
  EXPECT_EQ(gOemCfg.sOutputXDPI, 203);
  EXPECT_EQ(gDevMode.dmPrintQuality, 203);
  EXPECT_EQ(gOemPDev.sCurCopies, 3);
  ASSERT_FALSE(failed.Messages().empty());
  EXPECT_EQ(failed.Messages().back(), "Result of StartDocCMD is 0");
}

}  // namespace
