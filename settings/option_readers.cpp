// The option table: one reader per printer option with its PPD keyword, its scaling into the
// option record and its trace record ("Init <field>: <value>").
#include "settings/option_readers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "base/dots.h"
#include "logging/vanta.h"
#include "settings/ppd_lookup.h"

namespace {

constexpr int32_t kAbsent = -1;  // the int lookup's result for a missing option

// Keeps the low bits of a wider value, as storing into a narrower field does.
template <typename T>
T LowBits(int64_t value) {
  using U = typename std::make_unsigned<T>::type;
  return static_cast<T>(static_cast<U>(static_cast<uint64_t>(value)));
}

// The value printed by a "%d" trace: the field's low 32 bits.
template <typename T>
int AsTraceInt(T value) {
  return LowBits<int32_t>(static_cast<int64_t>(value));
}

// Plain reader: the code stored unchanged; absent leaves the field and traces nothing.
template <typename T>
void ReadPlain(tagOEMCFG* cfg, ppd_file_t* ppd, const char* option, T tagOEMCFG::*field,
               const char* name) {
  if (cfg == nullptr || ppd == nullptr) return;
  int32_t code = GetOptionChoiceIndex(option, ppd);
  if (code == kAbsent) return;
  cfg->*field = LowBits<T>(code);
  VLOG_DEBUG("Init %s: %d", name, AsTraceInt(cfg->*field));
}

// Always-traced reader: the field is 0 unless the option gives a code.
void ReadAlways(tagOEMCFG* cfg, ppd_file_t* ppd, const char* option, int16_t tagOEMCFG::*field,
                const char* name) {
  if (cfg == nullptr || ppd == nullptr) return;
  cfg->*field = 0;
  int32_t code = GetOptionChoiceIndex(option, ppd);
  if (code != kAbsent) cfg->*field = LowBits<int16_t>(code);
  VLOG_DEBUG("Init %s: %d", name, AsTraceInt(cfg->*field));
}

// Brightness and contrast: choices 0..200 become -200..200; absent gives 0 without a trace.
// Codes far outside that range are clamped to +-kMaxToneAdjust: beyond about +-400 the tone
// table is already all black or all white, and unbounded values overflow its arithmetic.
void ReadSigned200(tagOEMCFG* cfg, ppd_file_t* ppd, const char* option, int32_t tagOEMCFG::*field,
                   const char* name) {
  if (cfg == nullptr || ppd == nullptr) return;
  int32_t code = GetOptionChoiceIndex(option, ppd);
  if (code == kAbsent) {
    cfg->*field = 0;
    return;
  }
  int64_t value = 2 * int64_t{code} - 200;
  if (value > kMaxToneAdjust) value = kMaxToneAdjust;
  if (value < -kMaxToneAdjust) value = -kMaxToneAdjust;
  cfg->*field = static_cast<int32_t>(value);
  VLOG_DEBUG("Init %s: %d", name, cfg->*field);
}

// Millimetres with one decimal, as a single-precision number, to tenths of a millimetre:
// multiplied by 10 in single precision and truncated toward zero. A value beyond the 64-bit
// range saturates instead of overflowing the conversion; NaN reads as 0.
int64_t TenthsFromMm(float mm) {
  float tenths = mm * 10.0f;
  if (std::isnan(tenths)) return 0;
  if (tenths >= 9.2233720368547758e18f) return INT64_MAX;
  if (tenths <= -9.2233720368547758e18f) return INT64_MIN;
  return static_cast<int64_t>(tenths);
}

// Float reader: -1.0 exactly means absent (field unchanged, no trace).
bool ReadTenths(ppd_file_t* ppd, const char* option, int64_t* tenths) {
  float mm = GetOptionChoiceIndexf(option, ppd);
  if (mm == -1.0f) return false;
  *tenths = TenthsFromMm(mm);
  return true;
}

}  // namespace

void InitMirror(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "Mirror", &tagOEMCFG::sMirror, "sMirror");
}

void InitNegativeFilm(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "NegativeFilm", &tagOEMCFG::bNegative, "bNegative");
}

void InitDensity(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "Density", &tagOEMCFG::sDensity, "sDensity");
}

void InitHorizontalOffset(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "HorizontalOffset", &tagOEMCFG::sHrzDir, "sHrzDir");
}

void InitVerticalOffset(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "VerticalOffset", &tagOEMCFG::sVtcDir, "sVtcDir");
}

void InitHalftone(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  ReadPlain(cfg, ppd, "Halftone", &tagOEMCFG::sHalftoneMethod, "sHalftoneMethod");
  // After the trace record, which shows the code as the PPD gave it.
  if (cfg->sHalftoneMethod < kMinHalftone || cfg->sHalftoneMethod > kMaxHalftone)
    cfg->sHalftoneMethod = kDefaultHalftone;
}

void InitPrintMethod(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "PrintMethod", &tagOEMCFG::sPaperType, "sPaperType");
}

void InitMediaType(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "MediaType", &tagOEMCFG::sLabelType, "sLabelType");
}

void InitMode(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "Mode", &tagOEMCFG::dwOperationAfterPrn, "dwOperationAfterPrn");
}

void InitCutMethod(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "CutMethod", &tagOEMCFG::dwOperationModeAfterPrn, "dwOperationModeAfterPrn");
}

void InitInterval(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "Interval", &tagOEMCFG::sIntervalValue, "sIntervalValue");
}

void InitMaxOutputWidth(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "MaxOutputWidth", &tagOEMCFG::sMaxOutputWidth, "sMaxOutputWidth");
}

void InitIsSolidToDashed(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "IsToDashed", &tagOEMCFG::sIsLineImaginary, "sIsLineImaginary");
}

void InitSolidMinLength(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "MinLength", &tagOEMCFG::sMinImaginaryLineLen, "sMinImaginaryLineLen");
}

void InitIntervalBlack(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "IntervalBlack", &tagOEMCFG::sBlackInterval, "sBlackInterval");
}

void InitIntervalWhite(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "IntervalWhite", &tagOEMCFG::sWhiteInterval, "sWhiteInterval");
}

void InitSavePaper(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "SavePaper", &tagOEMCFG::sSavePaperMode, "sSavePaperMode");
}

void InitPaperMode(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "PrintMode", &tagOEMCFG::sPaperMode, "sPaperMode");
}

void InitPrintSpeed(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadPlain(cfg, ppd, "PrintSpeed", &tagOEMCFG::sPrintSpeed, "sPrintSpeed");
}

void InitAutoRotate90(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadAlways(cfg, ppd, "AutoRotate", &tagOEMCFG::sAutoRotate90, "sAutoRotate90");
}

void InitFixedHeight(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadAlways(cfg, ppd, "FixedHeight", &tagOEMCFG::sFixedHeight, "sFixedHeight");
}

void InitStartOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadAlways(cfg, ppd, "StartOffsetValue", &tagOEMCFG::sStartOffsetValue, "sStartOffsetValue");
}

void InitEndOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadAlways(cfg, ppd, "EndOffsetValue", &tagOEMCFG::sEndOffsetValue, "sEndOffsetValue");
}

void InitMaxLabelLength(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  cfg->nMaxLabelLength = 0;
  // Points to millimetres to dots, rounded as every length of the label; a PPD's odd value
  // (negative, not a number, astronomically long) sets no limit rather than a wrong one.
  const double mm = ppd->variable_sizes ? ppd->custom_max[1] * 25.4 / 72.0 : 0.0;
  const double dots = DotsBeforeTruncation(mm, cfg->sOutputYDPI);
  if (dots >= 1.0 && dots < INT32_MAX) cfg->nMaxLabelLength = static_cast<int32_t>(dots);
}

void InitBrightness(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadSigned200(cfg, ppd, "Brightness", &tagOEMCFG::nBrightness, "nBrightness");
}

void InitContrast(tagOEMCFG* cfg, ppd_file_t* ppd) {
  ReadSigned200(cfg, ppd, "Contrast", &tagOEMCFG::nContrast, "nContrast");
}

void InitFeed(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  // Absent is told by the missing choice, not by the value: -1 mm is a real feed offset.
  if (GetOptionChoiceCode("Feed", ppd) == nullptr) return;
  int32_t code = GetOptionChoiceIndex("Feed", ppd);
  cfg->sFeedLen = LowBits<int16_t>(int64_t{code} * 10);  // millimetres to tenths
  VLOG_DEBUG("Init sFeedLen: %d", cfg->sFeedLen);
}

void InitHorizontalOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  if (!ReadTenths(ppd, "HorizontalOffsetValue", &cfg->sHrzOffset)) return;
  VLOG_DEBUG("Init sHrzOffset: %d", AsTraceInt(cfg->sHrzOffset));
}

void InitVerticalOffsetValue(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  if (!ReadTenths(ppd, "VerticalOffsetValue", &cfg->sVtcOffset)) return;
  VLOG_DEBUG("Init sVtcOffset: %d", AsTraceInt(cfg->sVtcOffset));
}

void InitGapHeight(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  int64_t tenths = 0;
  if (!ReadTenths(ppd, "GAPHeight", &tenths)) return;
  cfg->GAPHeight = LowBits<int16_t>(tenths);
  cfg->BLineHeight = cfg->GAPHeight;
  VLOG_DEBUG("Init GAPHeight: %d", cfg->GAPHeight);
}

void InitGapOffset(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  int64_t tenths = 0;
  if (!ReadTenths(ppd, "GAPOffset", &tenths)) return;
  cfg->GAPOffset = LowBits<int16_t>(tenths);
  cfg->BLineOffset = cfg->GAPOffset;
  VLOG_DEBUG("Init GAPOffset: %d", cfg->GAPOffset);
}

void InitRotation(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  // Half-turn and quarter-turn flags for rotation codes 0..3; other codes change nothing.
  static constexpr struct {
    int16_t rotation;
    int16_t rotate90;
  } kFlags[] = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
  int16_t code = LowBits<int16_t>(GetOptionChoiceIndex("Rotation", ppd));
  if (code >= 0 && code <= 3) {
    cfg->sRotation = kFlags[code].rotation;
    cfg->sRotate90 = kFlags[code].rotate90;
  }
  VLOG_DEBUG("Init sRotation: %d, sRotate90: %d", AsTraceInt(cfg->sRotation), cfg->sRotate90);
}

void InitLevels(tagOEMCFG* cfg, ppd_file_t* ppd) {
  if (cfg == nullptr || ppd == nullptr) return;
  int32_t code = GetOptionChoiceIndex("Levels", ppd);
  if (code == kAbsent) return;
  // Choices 0..200 map to gamma x 100 from 999 down to 1. Other codes would leave that range
  // (down to a negative gamma), so the result is clamped; 64 bits keep the arithmetic exact.
  int64_t v = code;
  int64_t adj = v <= 99 ? 100 + (100 - v) * 899 / 100 : 100 - (v - 100) * 99 / 100;
  if (adj < kMinLevelsAdj) adj = kMinLevelsAdj;
  if (adj > kMaxLevelsAdj) adj = kMaxLevelsAdj;
  cfg->nLevelsAdj = static_cast<int32_t>(adj);
  VLOG_DEBUG("Init nLevelsAdj: %d", cfg->nLevelsAdj);
}

void InitOutputDpi(tagOEMCFG* cfg, cups_page_header2_t* header) {
  if (cfg == nullptr || header == nullptr) return;
  const char* text = GetPpdKeywordValue("OutputDPI");
  int16_t dpi = text != nullptr ? LowBits<int16_t>(strtol(text, nullptr, 10)) : 0;
  if (dpi <= 0) {
    // Without a usable resolution every dot computation would yield 0 (or go negative):
    // print at the raster's resolution instead.
    dpi = LowBits<int16_t>(header->HWResolution[0]);
    if (text == nullptr) {
      fprintf(stderr, "DEBUG: The PPD has no OutputDPI keyword; printing at %d dpi.\n", dpi);
    } else {
      fprintf(stderr,
              "DEBUG: The PPD's OutputDPI \"%s\" is not a resolution; printing at %d dpi.\n", text,
              dpi);
    }
  }
  cfg->sOutputYDPI = dpi;
  cfg->sOutputXDPI = dpi;
  VLOG_DEBUG("Init sOutputXDPI: %d, sOutputYDPI: %d", cfg->sOutputXDPI, cfg->sOutputYDPI);
}
