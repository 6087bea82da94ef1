// The option table: each reader's PPD option, field and trace record, the absent-option rules,
// the scalings with the clamps that keep extreme codes safe, and the OutputDPI fallback with
// the line that tells CUPS about it.
#include "settings/option_readers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/ppd_fixture.h"
#include "tests/support/trace_capture.h"

namespace {

using quorvel::test::NumericOption;
using quorvel::test::PpdFixture;
using quorvel::test::TraceCapture;
using Lines = std::vector<std::string>;
using Reader = void (*)(tagOEMCFG*, ppd_file_t*);
using Getter = int64_t (*)(const tagOEMCFG&);

#define GET(member) [](const tagOEMCFG& c) { return int64_t(c.member); }

constexpr int64_t kUnchanged = 0x5A5A5A5A5A5A;  // expects the field as it was before the read

class OptionReadersTest : public PpdFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TraceCapture().started()) << "the log manager did not start";
  }

  // Runs `reader` on a record of 0x11 bytes with a PPD whose option `keyword` has the single
  // choice `code` (null: a PPD without the option); returns the trace records it wrote.
  Lines Read(Reader reader, const char* keyword, const char* code) {
    memset(&cfg_, 0x11, sizeof cfg_);
    ppd_file_t* ppd =
        OpenWith(code ? std::vector<quorvel::test::PpdOption>{NumericOption(keyword, code, {code})}
                      : std::vector<quorvel::test::PpdOption>{});
    TraceCapture trace;
    if (ppd != nullptr) reader(&cfg_, ppd);
    return trace.Messages();
  }

  static int64_t Before(Getter get) {
    tagOEMCFG c;
    memset(&c, 0x11, sizeof c);
    return get(c);
  }

  tagOEMCFG cfg_;
};

struct ReaderRow {
  Reader reader;
  const char* option;
  Getter get;
  const char* field;
  bool always;  // absent: the field is 0 and traced (else unchanged, no record)
};

#define ROW(reader, option, member, always) \
  { reader, option, GET(member), #member, always }

const ReaderRow kReaders[] = {
    ROW(InitMirror, "Mirror", sMirror, false),
    ROW(InitNegativeFilm, "NegativeFilm", bNegative, false),
    ROW(InitDensity, "Density", sDensity, false),
    ROW(InitHorizontalOffset, "HorizontalOffset", sHrzDir, false),
    ROW(InitVerticalOffset, "VerticalOffset", sVtcDir, false),
    ROW(InitHalftone, "Halftone", sHalftoneMethod, false),
    ROW(InitPrintMethod, "PrintMethod", sPaperType, false),
    ROW(InitMediaType, "MediaType", sLabelType, false),
    ROW(InitMode, "Mode", dwOperationAfterPrn, false),
    ROW(InitCutMethod, "CutMethod", dwOperationModeAfterPrn, false),
    ROW(InitInterval, "Interval", sIntervalValue, false),
    ROW(InitMaxOutputWidth, "MaxOutputWidth", sMaxOutputWidth, false),
    ROW(InitIsSolidToDashed, "IsToDashed", sIsLineImaginary, false),
    ROW(InitSolidMinLength, "MinLength", sMinImaginaryLineLen, false),
    ROW(InitIntervalBlack, "IntervalBlack", sBlackInterval, false),
    ROW(InitIntervalWhite, "IntervalWhite", sWhiteInterval, false),
    ROW(InitSavePaper, "SavePaper", sSavePaperMode, false),
    ROW(InitPaperMode, "PrintMode", sPaperMode, false),
    ROW(InitPrintSpeed, "PrintSpeed", sPrintSpeed, false),
    ROW(InitAutoRotate90, "AutoRotate", sAutoRotate90, true),
    ROW(InitFixedHeight, "FixedHeight", sFixedHeight, true),
    ROW(InitStartOffsetValue, "StartOffsetValue", sStartOffsetValue, true),
    ROW(InitEndOffsetValue, "EndOffsetValue", sEndOffsetValue, true)};

TEST_F(OptionReadersTest, EachReaderStoresItsOptionInItsField) {
  for (const ReaderRow& r : kReaders) {
    const std::string record = std::string("Init ") + r.field + ": ";
    EXPECT_EQ(Read(r.reader, r.option, "7"), Lines{record + "7"});
    EXPECT_EQ(r.get(cfg_), 7) << r.option;
    const Lines absent = Read(r.reader, r.option, nullptr);
    EXPECT_EQ(r.get(cfg_), r.always ? 0 : Before(r.get)) << r.option;
    EXPECT_EQ(absent, r.always ? Lines{record + "0"} : Lines{}) << r.option;
    // A null record or PPD does nothing.
    const tagOEMCFG before = cfg_;
    r.reader(nullptr, ppd_);
    r.reader(&cfg_, nullptr);
    EXPECT_EQ(memcmp(&before, &cfg_, sizeof cfg_), 0) << r.option;
  }
}

// A value read from a code: the record is "Init <field>: <value>" (its low 32 bits), or none.
struct ValueRow {
  Reader reader;
  const char* option;
  const char* code;  // null: the option is absent
  Getter get;
  const char* field;
  int64_t value;
  bool traced;
};

#define VAL(reader, option, code, member, value, traced) \
  { reader, option, code, GET(member), #member, value, traced }

const ValueRow kValues[] = {
    // Codes keep the low bits of the field's width; -1 reads as an absent option.
    VAL(InitMirror, "Mirror", "70000", sMirror, 4464, true),
    VAL(InitDensity, "Density", "-5", sDensity, -5, true),
    VAL(InitNegativeFilm, "NegativeFilm", "-1", bNegative, kUnchanged, false),
    // Brightness and contrast: choices 0..200 give -200..200, clamped at +-10000.
    VAL(InitBrightness, "Brightness", "0", nBrightness, -200, true),
    VAL(InitBrightness, "Brightness", "5101", nBrightness, 10000, true),
    VAL(InitBrightness, "Brightness", "-2147483648", nBrightness, -10000, true),
    VAL(InitContrast, "Contrast", "100", nContrast, 0, true),
    VAL(InitContrast, "Contrast", nullptr, nContrast, 0, false),
    // Feed: millimetres times ten, in 16 bits (10000000 keeps its low 16 bits).
    VAL(InitFeed, "Feed", "2", sFeedLen, 20, true),
    VAL(InitFeed, "Feed", "-1", sFeedLen, -10, true),  // -1 mm is a choice, not "absent"
    VAL(InitFeed, "Feed", "1000000", sFeedLen, -27008, true),
    VAL(InitFeed, "Feed", nullptr, sFeedLen, kUnchanged, false),
    // Millimetres to tenths in single precision, truncated toward zero; beyond the range
    // saturated, NaN 0; exactly -1 is absent.
    VAL(InitGapHeight, "GAPHeight", "2.3", GAPHeight, 23, true),
    VAL(InitGapOffset, "GAPOffset", "-0.19", GAPOffset, -1, true),
    VAL(InitHorizontalOffsetValue, "HorizontalOffsetValue", "1e30", sHrzOffset, INT64_MAX, true),
    VAL(InitHorizontalOffsetValue, "HorizontalOffsetValue", "nan", sHrzOffset, 0, true),
    VAL(InitVerticalOffsetValue, "VerticalOffsetValue", "-1e300", sVtcOffset, INT64_MIN, true),
    VAL(InitVerticalOffsetValue, "VerticalOffsetValue", "-1.0", sVtcOffset, kUnchanged, false),
    VAL(InitGapHeight, "GAPHeight", nullptr, GAPHeight, kUnchanged, false),
    // Levels: choices 0..200 to gamma × 100 from 999 down to 1, clamped to that range.
    VAL(InitLevels, "Levels", "0", nLevelsAdj, 999, true),
    VAL(InitLevels, "Levels", "50", nLevelsAdj, 549, true),
    VAL(InitLevels, "Levels", "99", nLevelsAdj, 108, true),
    VAL(InitLevels, "Levels", "150", nLevelsAdj, 51, true),
    VAL(InitLevels, "Levels", "-2147483648", nLevelsAdj, 999, true),
    VAL(InitLevels, "Levels", nullptr, nLevelsAdj, kUnchanged, false)};

TEST_F(OptionReadersTest, ValuesAreScaledAndClamped) {
  for (const ValueRow& v : kValues) {
    const std::string what = std::string(v.option) + " " + (v.code ? v.code : "absent");
    const Lines records = Read(v.reader, v.option, v.code);
    const int64_t value = v.value == kUnchanged ? Before(v.get) : v.value;
    EXPECT_EQ(v.get(cfg_), value) << what;
    const std::string record =
        std::string("Init ") + v.field + ": " + std::to_string(static_cast<int32_t>(value));
    EXPECT_EQ(records, v.traced ? Lines{record} : Lines{}) << what;
  }
  // The gap pair is copied to the black-line pair.
  Read(InitGapHeight, "GAPHeight", "2.5");
  EXPECT_EQ(cfg_.BLineHeight, 25);
  Read(InitGapOffset, "GAPOffset", "1");
  EXPECT_EQ(cfg_.BLineOffset, 10);
}

TEST_F(OptionReadersTest, RotationCodesSelectTwoFlags) {
  // Codes 0..3 (in 16 bits) set the half- and quarter-turn flags; others change nothing but
  // still trace (0x11111111 and 0x1111 are the untouched fields).
  const std::pair<const char*, const char*> cases[] = {{"0", "0, sRotate90: 0"},
                                                       {"1", "1, sRotate90: 1"},
                                                       {"2", "1, sRotate90: 0"},
                                                       {"3", "0, sRotate90: 1"},
                                                       {"65537", "1, sRotate90: 1"},
                                                       {"4", "286331153, sRotate90: 4369"},
                                                       {nullptr, "286331153, sRotate90: 4369"}};
  for (const auto& [code, record] : cases) {
    EXPECT_EQ(Read(InitRotation, "Rotation", code),
              Lines{std::string("Init sRotation: ") + record});
  }
}

TEST_F(OptionReadersTest, OutputDpiFromKeywordOrRasterResolution) {
  cups_page_header2_t header{};
  header.HWResolution[0] = 300;
  header.HWResolution[1] = 600;
  // Without the keyword, or with a value that is no positive resolution, both fields take the
  // raster's horizontal resolution.
  for (const char* dpi : {"203", "", "0", "-203", "abc", "65536"}) {
    quorvel::test::PpdSpec spec;
    spec.outputDpi = dpi;
    ASSERT_NE(Open(spec), nullptr);
    memset(&cfg_, 0, sizeof cfg_);
    TraceCapture trace;
    testing::internal::CaptureStderr();
    InitOutputDpi(&cfg_, &header);
    const std::string err = testing::internal::GetCapturedStderr();
    const int expected = std::string(dpi) == "203" ? 203 : 300;
    // CUPS's log says where the resolution came from.
    if (*dpi == '\0') {
      EXPECT_EQ(err, "DEBUG: The PPD has no OutputDPI keyword; printing at 300 dpi.\n");
    }
    EXPECT_EQ(cfg_.sOutputXDPI, expected) << dpi;
    EXPECT_EQ(cfg_.sOutputYDPI, expected) << dpi;
    const std::string n = std::to_string(expected);
    EXPECT_EQ(trace.Messages(), Lines{"Init sOutputXDPI: " + n + ", sOutputYDPI: " + n}) << dpi;
  }
  memset(&cfg_, 0, sizeof cfg_);
  InitOutputDpi(&cfg_, nullptr);
  EXPECT_EQ(cfg_.sOutputXDPI, 0);
}

}  // namespace
