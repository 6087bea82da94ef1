// Job configuration by InitPrintSetting: only the first page configures the job, with the
// option record (option_cases.txt's), the device mode and page device taken from the page
// header, and the preamble.
#include "settings/print_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
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
using quorvel::test::StdoutCapture;
using quorvel::test::TraceCapture;

using PrintSettingsTest = quorvel::test::PpdFixture;

TEST_F(PrintSettingsTest, OnlyTheFirstPageConfiguresTheJob) {
  ASSERT_TRUE(TraceCapture().started()) << "the log manager did not start";
  // Distinct resolutions and a landscape page, so a swapped axis or orientation shows.
  quorvel::test::RasterPage page;
  page.width = 800;
  page.height = 600;
  page.xdpi = 300;
  page.ydpi = 600;
  page.copies = 3;
  page.orientation = CUPS_ORIENT_90;  // landscape still gives dmOrientation 1
  cups_page_header2_t header = quorvel::test::MakeHeader(page);
  // A print method without a ribbon command ends the preamble after the media line.
  ppd_file_t* ppd =
      OpenWith({NumericOption("MediaType", "1", {"1"}), NumericOption("GAPHeight", "3", {"3"}),
                NumericOption("PrintMethod", "3", {"3"})});
  ASSERT_NE(ppd, nullptr);
  CTSPLRenderClass renderer;
  memset(&gOemCfg, 0, sizeof gOemCfg);
  gOemPDev.srcGdiInfo.ptlPhysOffset = {4, 5};  // old values the page device must not keep
  gOemPDev.dwCurPageNum = gOemPDev.dwPagePrinted = 9;
  StdoutCapture none;
  InitPrintSetting(2, ppd, &header, &renderer);
  InitPrintSetting(1, nullptr, &header, &renderer);
  InitPrintSetting(1, ppd, nullptr, &renderer);
  EXPECT_EQ(none.Take(), "");
  EXPECT_EQ(gOemCfg.sOutputXDPI, 0);

  TraceCapture trace;
  StdoutCapture preamble;
  InitPrintSetting(1, ppd, &header, &renderer);
  EXPECT_EQ(preamble.Take(), "CLS\r\nGAP 3 mm,0 mm\r\n");
  // The device mode and page device fields, read back through their trace records.
  const std::vector<std::string> m = trace.Messages();
  std::string records;
  for (auto at = std::find(m.begin(), m.end(), "Init dmPrintQuality: 300, dmYResolution: 600");
       at != m.end() && *at != "Initializing configures finish"; ++at) {
    records += *at + "|";
  }
  EXPECT_EQ(records,
            "Init dmPrintQuality: 300, dmYResolution: 600|Init dmOrientation: 1|"
            "Init dmCollate: 0|Init bmInfoHeader.biWidth: 800|Init bmInfoHeader.biHeight: 600|"
            "Init bmInfoHeader.biBitCount: 24|Init sCurCopies: 3|Init dwPagePrinted: 0|"
            "Init dwCurPageNum: 0|Init srcGdiInfo.szlPhysSize.cx: 800|"
            "Init srcGdiInfo.szlPhysSize.cy: 600|Init srcGdiInfo.ptlPhysOffset.x: 0|"
            "Init srcGdiInfo.ptlPhysOffset.y: 0|Init srcGdiInfo.ulVertRes: 600|");
  ASSERT_FALSE(m.empty());
  EXPECT_EQ(m.back(), "Result of StartDocCMD is 0");  // the preamble's failure, traced as 0
}

}  // namespace
