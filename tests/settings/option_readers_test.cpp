// The option table: each reader's PPD option, field, width, scaling and trace record, the
// absent-option rules, the clamps that keep extreme codes safe, and the OutputDPI fallback.
#include "settings/option_readers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/settings/capture_util.h"
#include "tests/settings/ppd_fixture.h"

namespace {

using qevtest::NumericOption;
using qevtest::PpdFixture;
using qevtest::capture::TraceCapture;

using Reader = void (*)(tagOEMCFG*, ppd_file_t*);

class OptionReadersTest : public PpdFixture {
 protected:
  OptionReadersTest() { memset(&cfg_, 0, sizeof cfg_); }

  // Opens a PPD whose option `keyword` has the single choice `code`, runs `reader` and returns
  // the trace records it wrote.
  std::vector<std::string> ReadCode(Reader reader, const std::string& keyword,
                                    const std::string& code) {
    ppd_file_t* ppd = OpenWith({NumericOption(keyword, code, {code})});
    TraceCapture trace;
    if (ppd != nullptr) reader(&cfg_, ppd);
    return trace.Messages();
  }

  std::vector<std::string> ReadAbsent(Reader reader) {
    ppd_file_t* ppd = OpenWith({});
    TraceCapture trace;
    if (ppd != nullptr) reader(&cfg_, ppd);
    return trace.Messages();
  }

  void SetUp() override {
    ASSERT_TRUE(TraceCapture().started()) << "the log manager did not start";
  }

  tagOEMCFG cfg_;
};

// Plain readers: the code stored in the field's width; absent leaves the field, no record.
struct PlainCase {
  Reader reader;
  const char* option;
  const char* field;
  std::function<int64_t(const tagOEMCFG&)> get;
  std::function<void(tagOEMCFG&, int64_t)> set;
  int bits;
};

#define PLAIN(reader, option, member, bits)                                        \
  PlainCase {                                                                      \
    reader, option, #member, [](const tagOEMCFG& c) { return int64_t(c.member); }, \
        [](tagOEMCFG& c, int64_t v) { c.member = decltype(c.member)(v); }, bits    \
  }

class PlainReaderTest : public OptionReadersTest,
                        public ::testing::WithParamInterface<PlainCase> {};

TEST_P(PlainReaderTest, StoresTheCodeInItsWidth) {
  const PlainCase& c = GetParam();
  auto records = ReadCode(c.reader, c.option, "7");
  EXPECT_EQ(c.get(cfg_), 7);
  EXPECT_EQ(records, std::vector<std::string>{std::string("Init ") + c.field + ": 7"});

  // 70000 keeps its low 16 bits (4464) in a 16-bit field.
  ReadCode(c.reader, c.option, "70000");
  EXPECT_EQ(c.get(cfg_), c.bits == 16 ? 4464 : 70000);

  // Negative codes are sign-extended into 64-bit fields (and traced as their low 32 bits).
  records = ReadCode(c.reader, c.option, "-5");
  EXPECT_EQ(static_cast<int32_t>(c.get(cfg_)), -5);
  if (c.bits == 64) {
    EXPECT_EQ(static_cast<uint64_t>(c.get(cfg_)), UINT64_MAX - 4);
  }
  EXPECT_EQ(records, std::vector<std::string>{std::string("Init ") + c.field + ": -5"});

  // Absent (or "-1"): unchanged, nothing traced.
  c.set(cfg_, 42);
  EXPECT_TRUE(ReadAbsent(c.reader).empty());
  EXPECT_EQ(ReadCode(c.reader, c.option, "-1"), std::vector<std::string>{});
  EXPECT_EQ(c.get(cfg_), 42);

  // A null record or PPD does nothing.
  c.reader(nullptr, ppd_);
  c.reader(&cfg_, nullptr);
  EXPECT_EQ(c.get(cfg_), 42);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlainReaderTest,
    ::testing::Values(PLAIN(InitMirror, "Mirror", sMirror, 16),
                      PLAIN(InitNegativeFilm, "NegativeFilm", bNegative, 32),
                      PLAIN(InitDensity, "Density", sDensity, 64),
                      PLAIN(InitHorizontalOffset, "HorizontalOffset", sHrzDir, 64),
                      PLAIN(InitVerticalOffset, "VerticalOffset", sVtcDir, 64),
                      PLAIN(InitHalftone, "Halftone", sHalftoneMethod, 16),
                      PLAIN(InitPrintMethod, "PrintMethod", sPaperType, 16),
                      PLAIN(InitMediaType, "MediaType", sLabelType, 16),
                      PLAIN(InitMode, "Mode", dwOperationAfterPrn, 64),
                      PLAIN(InitCutMethod, "CutMethod", dwOperationModeAfterPrn, 64),
                      PLAIN(InitInterval, "Interval", sIntervalValue, 16),
                      PLAIN(InitMaxOutputWidth, "MaxOutputWidth", sMaxOutputWidth, 16),
                      PLAIN(InitIsSolidToDashed, "IsToDashed", sIsLineImaginary, 16),
                      PLAIN(InitSolidMinLength, "MinLength", sMinImaginaryLineLen, 16),
                      PLAIN(InitIntervalBlack, "IntervalBlack", sBlackInterval, 16),
                      PLAIN(InitIntervalWhite, "IntervalWhite", sWhiteInterval, 16),
                      PLAIN(InitSavePaper, "SavePaper", sSavePaperMode, 16),
                      PLAIN(InitPaperMode, "PrintMode", sPaperMode, 16),
                      PLAIN(InitPrintSpeed, "PrintSpeed", sPrintSpeed, 16)),
    [](const auto& info) { return std::string(info.param.option); });

// Always-traced readers: 0 and a record even when the option is absent.
class AlwaysReaderTest : public OptionReadersTest,
                         public ::testing::WithParamInterface<PlainCase> {};

TEST_P(AlwaysReaderTest, ResetsAndAlwaysTraces) {
  const PlainCase& c = GetParam();
  auto records = ReadCode(c.reader, c.option, "3");
  EXPECT_EQ(c.get(cfg_), 3);
  EXPECT_EQ(records, std::vector<std::string>{std::string("Init ") + c.field + ": 3"});
  c.set(cfg_, 42);
  records = ReadAbsent(c.reader);
  EXPECT_EQ(c.get(cfg_), 0);
  EXPECT_EQ(records, std::vector<std::string>{std::string("Init ") + c.field + ": 0"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, AlwaysReaderTest,
    ::testing::Values(PLAIN(InitAutoRotate90, "AutoRotate", sAutoRotate90, 16),
                      PLAIN(InitFixedHeight, "FixedHeight", sFixedHeight, 16),
                      PLAIN(InitStartOffsetValue, "StartOffsetValue", sStartOffsetValue, 16),
                      PLAIN(InitEndOffsetValue, "EndOffsetValue", sEndOffsetValue, 16)),
    [](const auto& info) { return std::string(info.param.option); });

TEST_F(OptionReadersTest, BrightnessAndContrastSpanMinus200To200) {
  const std::pair<Reader, const char*> readers[] = {{InitBrightness, "Brightness"},
                                                    {InitContrast, "Contrast"}};
  for (const auto& r : readers) {
    auto value = [&] { return r.first == InitBrightness ? cfg_.nBrightness : cfg_.nContrast; };
    // Codes beyond the choices keep the scale until the clamp that keeps the tone arithmetic
    // from overflowing.
    const std::pair<const char*, int32_t> cases[] = {
        {"0", -200},           {"100", 0},        {"200", 200},           {"150", 100},
        {"250", 300},          {"-50", -300},     {"5100", 10000},        {"5101", 10000},
        {"2147483647", 10000}, {"-4900", -10000}, {"-2147483648", -10000}};
    for (const auto& c : cases) {
      auto records = ReadCode(r.first, r.second, c.first);
      EXPECT_EQ(value(), c.second) << r.second << " " << c.first;
      EXPECT_EQ(records, std::vector<std::string>{std::string("Init n") + r.second + ": " +
                                                  std::to_string(c.second)});
    }
    // Absent or -1: set to 0 without a record.
    cfg_.nBrightness = cfg_.nContrast = 9;
    EXPECT_TRUE(ReadCode(r.first, r.second, "-1").empty());
    EXPECT_EQ(value(), 0);
    cfg_.nBrightness = cfg_.nContrast = 9;
    EXPECT_TRUE(ReadAbsent(r.first).empty());
    EXPECT_EQ(value(), 0);
  }
}

TEST_F(OptionReadersTest, FeedIsMillimetresTimesTen) {
  auto records = ReadCode(InitFeed, "Feed", "2");
  EXPECT_EQ(cfg_.sFeedLen, 20);
  EXPECT_EQ(records, std::vector<std::string>{"Init sFeedLen: 20"});
  ReadCode(InitFeed, "Feed", "-3");
  EXPECT_EQ(cfg_.sFeedLen, -30);
  ReadCode(InitFeed, "Feed", "1000000");  // 10000000 keeps its low 16 bits
  EXPECT_EQ(cfg_.sFeedLen, static_cast<int16_t>(10000000 & 0xFFFF));
  cfg_.sFeedLen = 42;
  EXPECT_TRUE(ReadAbsent(InitFeed).empty());
  EXPECT_EQ(cfg_.sFeedLen, 42);
}

TEST_F(OptionReadersTest, FloatReadersStoreTenthsTruncated) {
  const std::pair<const char*, int64_t> cases[] = {{"3", 30},   {"2.5", 25}, {"-1.5", -15},
                                                   {"2.3", 23}, {"0.05", 0}, {"-0.19", -1}};
  for (const auto& c : cases) {
    auto records = ReadCode(InitGapHeight, "GAPHeight", c.first);
    EXPECT_EQ(cfg_.GAPHeight, c.second) << c.first;
    EXPECT_EQ(cfg_.BLineHeight, cfg_.GAPHeight);
    EXPECT_EQ(records, std::vector<std::string>{"Init GAPHeight: " + std::to_string(c.second)});
    ReadCode(InitGapOffset, "GAPOffset", c.first);
    EXPECT_EQ(cfg_.GAPOffset, c.second) << c.first;
    EXPECT_EQ(cfg_.BLineOffset, cfg_.GAPOffset);
    ReadCode(InitHorizontalOffsetValue, "HorizontalOffsetValue", c.first);
    EXPECT_EQ(cfg_.sHrzOffset, c.second) << c.first;
    records = ReadCode(InitVerticalOffsetValue, "VerticalOffsetValue", c.first);
    EXPECT_EQ(cfg_.sVtcOffset, c.second) << c.first;
    EXPECT_EQ(records, std::vector<std::string>{"Init sVtcOffset: " + std::to_string(c.second)});
  }
  // Absent or exactly -1: unchanged and untraced; -1.0 in another spelling is absent too.
  cfg_.GAPHeight = cfg_.BLineHeight = 7;
  EXPECT_TRUE(ReadCode(InitGapHeight, "GAPHeight", "-1.0").empty());
  EXPECT_TRUE(ReadAbsent(InitGapHeight).empty());
  EXPECT_EQ(cfg_.GAPHeight, 7);
  // Out of range: saturated, never an undefined conversion; NaN reads as 0.
  ReadCode(InitHorizontalOffsetValue, "HorizontalOffsetValue", "1e30");
  EXPECT_EQ(cfg_.sHrzOffset, INT64_MAX);
  ReadCode(InitVerticalOffsetValue, "VerticalOffsetValue", "-1e300");
  EXPECT_EQ(cfg_.sVtcOffset, INT64_MIN);
  ReadCode(InitHorizontalOffsetValue, "HorizontalOffsetValue", "nan");
  EXPECT_EQ(cfg_.sHrzOffset, 0);
}

TEST_F(OptionReadersTest, RotationCodesSelectTwoFlags) {
  const struct {
    const char* code;
    int64_t rotation;
    int16_t rotate90;
  } cases[] = {{"0", 0, 0}, {"1", 1, 1}, {"2", 1, 0}, {"3", 0, 1}, {"65537", 1, 1}};
  for (const auto& c : cases) {
    cfg_.sRotation = 5;
    cfg_.sRotate90 = 5;
    auto records = ReadCode(InitRotation, "Rotation", c.code);
    EXPECT_EQ(cfg_.sRotation, c.rotation) << c.code;
    EXPECT_EQ(cfg_.sRotate90, c.rotate90) << c.code;
    EXPECT_EQ(records, std::vector<std::string>{"Init sRotation: " + std::to_string(c.rotation) +
                                                ", sRotate90: " + std::to_string(c.rotate90)});
  }
  // Code 2 sets only the half turn; 4 and absent change nothing but still trace.
  memset(&cfg_, 0, sizeof cfg_);
  ReadCode(InitRotation, "Rotation", "2");
  EXPECT_EQ(cfg_.sRotation, 1);
  EXPECT_EQ(cfg_.sRotate90, 0);
  memset(&cfg_, 0, sizeof cfg_);
  auto records = ReadCode(InitRotation, "Rotation", "4");
  EXPECT_EQ(cfg_.sRotation, 0);
  EXPECT_EQ(cfg_.sRotate90, 0);
  EXPECT_EQ(records, std::vector<std::string>{"Init sRotation: 0, sRotate90: 0"});
  cfg_.sRotation = 1;
  records = ReadAbsent(InitRotation);
  EXPECT_EQ(cfg_.sRotation, 1);
  EXPECT_EQ(records, std::vector<std::string>{"Init sRotation: 1, sRotate90: 0"});
}

TEST_F(OptionReadersTest, LevelsMapToGammaAndClamp) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 999}, {"50", 549}, {"99", 108}, {"100", 100}, {"150", 51},          {"200", 1},
      {"201", 1}, {"202", 1},  {"300", 1},  {"-50", 999}, {"-2147483648", 999}, {"2147483647", 1}};
  for (const auto& c : cases) {
    auto records = ReadCode(InitLevels, "Levels", c.first);
    EXPECT_EQ(cfg_.nLevelsAdj, c.second) << c.first;
    EXPECT_EQ(records, std::vector<std::string>{"Init nLevelsAdj: " + std::to_string(c.second)});
  }
  cfg_.nLevelsAdj = 77;
  EXPECT_TRUE(ReadAbsent(InitLevels).empty());
  EXPECT_EQ(cfg_.nLevelsAdj, 77);
}

TEST_F(OptionReadersTest, OutputDpiFromKeywordOrRasterResolution) {
  cups_page_header2_t header;
  memset(&header, 0, sizeof header);
  header.HWResolution[0] = 300;
  header.HWResolution[1] = 600;

  qevtest::PpdSpec spec;
  spec.outputDpi = "203";
  ASSERT_NE(Open(spec), nullptr);
  TraceCapture with;
  InitOutputDpi(&cfg_, &header);
  EXPECT_EQ(cfg_.sOutputXDPI, 203);
  EXPECT_EQ(cfg_.sOutputYDPI, 203);
  EXPECT_EQ(with.Messages(), std::vector<std::string>{"Init sOutputXDPI: 203, sOutputYDPI: 203"});

  // Without the keyword both fields take the raster's horizontal resolution.
  spec.outputDpi = "";
  ASSERT_NE(Open(spec), nullptr);
  TraceCapture without;
  InitOutputDpi(&cfg_, &header);
  EXPECT_EQ(cfg_.sOutputXDPI, 300);
  EXPECT_EQ(cfg_.sOutputYDPI, 300);
  EXPECT_EQ(without.Messages(),
            std::vector<std::string>{"Init sOutputXDPI: 300, sOutputYDPI: 300"});

  // A value that is no positive resolution falls back the same way.
  for (const char* bad : {"0", "-203", "abc", "65536"}) {
    spec.outputDpi = bad;
    ASSERT_NE(Open(spec), nullptr);
    TraceCapture unusable;
    InitOutputDpi(&cfg_, &header);
    EXPECT_EQ(cfg_.sOutputXDPI, 300) << bad;
    EXPECT_EQ(cfg_.sOutputYDPI, 300) << bad;
    EXPECT_EQ(unusable.Messages(),
              std::vector<std::string>{"Init sOutputXDPI: 300, sOutputYDPI: 300"});
  }

  // Without a header nothing happens.
  memset(&cfg_, 0, sizeof cfg_);
  InitOutputDpi(&cfg_, nullptr);
  EXPECT_EQ(cfg_.sOutputXDPI, 0);
}

}  // namespace
