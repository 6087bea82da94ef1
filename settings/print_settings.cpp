// Job configuration on the first page header: the option record from the PPD, and the device
// mode and page device from the header.
#include "settings/print_settings.h"

#include <cstring>

#include "job/raw_enum.h"
#include "logging/vanta.h"
#include "settings/option_readers.h"

namespace {

using OptionReader = void (*)(tagOEMCFG*, ppd_file_t*);

// Reader order fixes the order of the trace records; InitOutputDpi (which takes the page
// header) runs between InitFeed and InitMaxOutputWidth.
constexpr OptionReader kReadersBeforeDpi[] = {
    InitMirror,
    InitRotation,
    InitNegativeFilm,
    InitDensity,
    InitHorizontalOffset,
    InitHorizontalOffsetValue,
    InitVerticalOffset,
    InitVerticalOffsetValue,
    InitBrightness,
    InitContrast,
    InitLevels,
    InitHalftone,
    InitPrintMethod,
    InitMediaType,
    InitGapOffset,
    InitGapHeight,
    InitMode,
    InitCutMethod,
    InitInterval,
    InitFeed,
};

constexpr OptionReader kReadersAfterDpi[] = {
    InitMaxOutputWidth, InitIsSolidToDashed, InitSolidMinLength,   InitIntervalBlack,
    InitIntervalWhite,  InitSavePaper,       InitPaperMode,        InitPrintSpeed,
    InitAutoRotate90,   InitFixedHeight,     InitStartOffsetValue, InitEndOffsetValue,
    InitMaxLabelLength,
};

}  // namespace

void InitalizeOemCfg(tagOEMCFG* cfg, ppd_file_t* ppd, cups_page_header2_t* header) {
  if (cfg == nullptr || ppd == nullptr) return;
  memset(cfg, 0, sizeof *cfg);
  for (OptionReader reader : kReadersBeforeDpi) reader(cfg, ppd);
  InitOutputDpi(cfg, header);
  for (OptionReader reader : kReadersAfterDpi) reader(cfg, ppd);
}

void InitDevmode(_DEVMODE* devmode, cups_page_header2_t* header) {
  if (devmode == nullptr || header == nullptr) return;
  devmode->dmOrientation = 1;
  devmode->dmPrintQuality = static_cast<int16_t>(header->HWResolution[0]);
  devmode->dmYResolution = static_cast<int16_t>(header->HWResolution[1]);
  devmode->dmCollate = static_cast<int16_t>(RawEnum(header->Collate));
  VLOG_DEBUG("Init dmPrintQuality: %d, dmYResolution: %d", devmode->dmPrintQuality,
             devmode->dmYResolution);
  VLOG_DEBUG("Init dmOrientation: %d", devmode->dmOrientation);
  VLOG_DEBUG("Init dmCollate: %d", devmode->dmCollate);
}

void InitOemPDEV(_OEMPDEV* pdev, cups_page_header2_t* header) {
  if (pdev == nullptr || header == nullptr) return;
  pdev->pBufStart = nullptr;
  pdev->bmInfoHeader.biWidth = static_cast<int32_t>(header->cupsWidth);
  pdev->bmInfoHeader.biHeight = static_cast<int32_t>(header->cupsHeight);
  pdev->bmInfoHeader.biBitCount = static_cast<uint16_t>(header->cupsBitsPerPixel);
  pdev->srcGdiInfo.ulVertRes = header->cupsHeight;
  pdev->srcGdiInfo.ptlPhysOffset.x = 0;
  pdev->srcGdiInfo.ptlPhysOffset.y = 0;
  pdev->srcGdiInfo.szlPhysSize.cx = static_cast<int32_t>(header->cupsWidth);
  pdev->srcGdiInfo.szlPhysSize.cy = static_cast<int32_t>(header->cupsHeight);
  pdev->dwCurPageNum = 0;
  pdev->sCurCopies = static_cast<int16_t>(header->NumCopies);
  pdev->dwPagePrinted = 0;

  VLOG_DEBUG("Init bmInfoHeader.biWidth: %d", pdev->bmInfoHeader.biWidth);
  VLOG_DEBUG("Init bmInfoHeader.biHeight: %d", pdev->bmInfoHeader.biHeight);
  VLOG_DEBUG("Init bmInfoHeader.biBitCount: %d", pdev->bmInfoHeader.biBitCount);
  VLOG_DEBUG("Init sCurCopies: %d", pdev->sCurCopies);
  VLOG_DEBUG("Init dwPagePrinted: %d", static_cast<int>(pdev->dwPagePrinted));
  VLOG_DEBUG("Init dwCurPageNum: %d", static_cast<int>(pdev->dwCurPageNum));
  VLOG_DEBUG("Init srcGdiInfo.szlPhysSize.cx: %d", pdev->srcGdiInfo.szlPhysSize.cx);
  VLOG_DEBUG("Init srcGdiInfo.szlPhysSize.cy: %d", pdev->srcGdiInfo.szlPhysSize.cy);
  VLOG_DEBUG("Init srcGdiInfo.ptlPhysOffset.x: %d", pdev->srcGdiInfo.ptlPhysOffset.x);
  VLOG_DEBUG("Init srcGdiInfo.ptlPhysOffset.y: %d", pdev->srcGdiInfo.ptlPhysOffset.y);
  VLOG_DEBUG("Init srcGdiInfo.ulVertRes: %d", static_cast<int>(pdev->srcGdiInfo.ulVertRes));
}
