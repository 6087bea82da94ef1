// The three job records: printer options, device mode and page device. Each exists once per
// process with static storage; the filter driver owns them and the renderer reads them.
#pragma once

#include <cstdint>

#include "imaging/gdi_types.h"

// Printer options of the job, filled from the PPD before the first page.
struct tagOEMCFG {
  int64_t sHrzDir;
  int64_t sVtcDir;
  int64_t sHrzOffset;  // tenths of a millimetre
  int64_t sVtcOffset;  // tenths of a millimetre
  int64_t sDensity;
  int64_t sRotation;
  int16_t sMirror;
  int32_t bNegative;
  uint64_t dwOperationAfterPrn;      // 1 none, 2 peel, 3 tear, 4 cut
  uint64_t dwOperationModeAfterPrn;  // cut method
  int32_t nBrightness;               // -200..200
  int32_t nContrast;                 // -200..200
  int16_t sPaperType;
  int16_t sLabelType;
  int16_t GAPHeight;    // tenths of a millimetre
  int16_t GAPOffset;    // tenths of a millimetre
  int16_t BLineHeight;  // tenths of a millimetre
  int16_t BLineOffset;  // tenths of a millimetre
  int16_t sIntervalValue;
  int16_t sFeedLen;  // tenths of a millimetre
  int16_t sHalftoneMethod;
  int16_t sRotate90;
  int16_t sIsLineImaginary;
  int16_t sMinImaginaryLineLen;  // millimetres
  int16_t sBlackInterval;        // millimetres
  int16_t sWhiteInterval;        // millimetres
  int32_t nLevelsAdj;            // gamma x 100
  int16_t sMaxOutputWidth;       // millimetres
  int16_t sOutputXDPI;
  int16_t sOutputYDPI;
  int16_t sPaperMode;
  int16_t sPrintSpeed;
  int16_t sSavePaperMode;
  int16_t sFixedHeight;
  int16_t sAutoRotate90;
  int16_t sStartOffsetValue;  // millimetres
  int16_t sEndOffsetValue;    // millimetres
  // The longest label the PPD offers (its largest custom length), in dots at sOutputYDPI;
  // 0 when the PPD has no custom sizes. Only warned about: the label is still sent.
  int32_t nMaxLabelLength;
};

// Device mode, taken from the first page header.
struct _DEVMODE {
  int16_t dmOrientation;
  int16_t dmPrintQuality;  // horizontal raster resolution, dpi
  int16_t dmYResolution;   // vertical raster resolution, dpi
  int16_t dmCollate;
};

struct tagSIZEL {
  int32_t cx;
  int32_t cy;
};

// Geometry of the source page.
struct tagGDIINFO {
  uint32_t ulVertRes;
  tagPOINT ptlPhysOffset;
  tagSIZEL szlPhysSize;
};

// Page device: the page waiting to be rendered, its geometry and the job's counters.
struct _OEMPDEV {
  uint8_t* pBufStart;  // owned; null while no page waits
  uint32_t dwBufSize;
  tagBITMAPINFOHEADER bmInfoHeader;
  tagGDIINFO srcGdiInfo;
  uint32_t dwCurPageNum;
  int16_t sCurCopies;
  uint32_t dwPagePrinted;
  uint32_t dwLabelWidth;
  uint32_t dwLabelHeight;
};

// The job's records (static storage, zero until written).
extern tagOEMCFG gOemCfg;
extern _DEVMODE gDevMode;
extern _OEMPDEV gOemPDev;
