// One reader per printer option: looks the option up in the PPD, turns the chosen code into
// the value the renderer expects, stores it in the option record and traces it.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include "job/records.h"

// Each reader does nothing when the record or its second argument is null.
void InitMirror(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitRotation(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitNegativeFilm(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitDensity(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitHorizontalOffset(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitHorizontalOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitVerticalOffset(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitVerticalOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitBrightness(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitContrast(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitLevels(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitHalftone(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitPrintMethod(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitMediaType(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitGapOffset(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitGapHeight(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitMode(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitCutMethod(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitInterval(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitFeed(tagOEMCFG* cfg, ppd_file_t* ppd);
// Reads the plain keyword "OutputDPI"; without it (or with a value that is not a positive
// resolution), the header's horizontal resolution.
void InitOutputDpi(tagOEMCFG* cfg, cups_page_header2_t* header);
void InitMaxOutputWidth(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitIsSolidToDashed(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitSolidMinLength(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitIntervalBlack(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitIntervalWhite(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitSavePaper(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitPaperMode(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitPrintSpeed(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitAutoRotate90(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitFixedHeight(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitStartOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd);
void InitEndOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd);
// The PPD's largest custom length in dots; needs the output resolution read first.
void InitMaxLabelLength(tagOEMCFG* cfg, ppd_file_t* ppd);

// Halftone codes that choose a method: 1..10 dither (4 the adaptive threshold), 11 Auto.
// Anything else, an absent option included, is read as kDefaultHalftone, since a code
// outside them would dither nothing and print a blank label.
constexpr int16_t kMinHalftone = 1;
constexpr int16_t kMaxHalftone = 11;
constexpr int16_t kDefaultHalftone = 1;

// Limit of nBrightness and nContrast (their choices give -200..200).
constexpr int32_t kMaxToneAdjust = 10000;

// Gamma x 100 limits of nLevelsAdj.
constexpr int32_t kMinLevelsAdj = 1;
constexpr int32_t kMaxLevelsAdj = 999;
