// The option table as data: tests/settings/option_cases.txt gives PPD choice codes and the
// option record fields and trace records InitalizeOemCfg makes of them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "settings/print_settings.h"
#include "tests/support/ppd_fixture.h"
#include "tests/support/trace_capture.h"

namespace {

using quorvel::test::TraceCapture;

// clang-format off
#define F(f) {#f, [](const tagOEMCFG& c) { return int64_t(c.f); }}
const std::map<std::string, std::function<int64_t(const tagOEMCFG&)>> kFields = {
    F(sHrzDir), F(sVtcDir), F(sHrzOffset), F(sVtcOffset), F(sDensity), F(sRotation), F(sMirror),
    F(bNegative), F(dwOperationAfterPrn), F(dwOperationModeAfterPrn), F(nBrightness),
    F(nContrast), F(sPaperType), F(sLabelType), F(GAPHeight), F(GAPOffset), F(BLineHeight),
    F(BLineOffset), F(sIntervalValue), F(sFeedLen), F(sHalftoneMethod), F(sRotate90),
    F(sIsLineImaginary), F(sMinImaginaryLineLen), F(sBlackInterval), F(sWhiteInterval),
    F(nLevelsAdj), F(sMaxOutputWidth), F(sOutputXDPI), F(sOutputYDPI), F(sPaperMode),
    F(sPrintSpeed), F(sSavePaperMode), F(sFixedHeight), F(sAutoRotate90), F(sStartOffsetValue),
    F(sEndOffsetValue), F(nMaxLabelLength)};
// clang-format on

std::vector<std::string> Split(const std::string& text, const std::string& by) {
  std::vector<std::string> parts;
  for (size_t from = 0;;) {
    const size_t at = text.find(by, from);
    parts.push_back(text.substr(from, at - from));
    if (at == std::string::npos) return parts;
    from = at + by.size();
  }
}

class OptionCases : public quorvel::test::PpdFixture {};

TEST_F(OptionCases, EachJobGivesItsFieldsAndRecords) {
  ASSERT_TRUE(TraceCapture().started()) << "the log manager did not start";
  std::ifstream in(std::string(QEV_SOURCE_DIR) + "/tests/settings/option_cases.txt");
  cups_page_header2_t header{};
  header.HWResolution[0] = 300;
  header.HWResolution[1] = 600;
  int number = 0, rows = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    ++rows;
    SCOPED_TRACE("option_cases.txt:" + std::to_string(number));
    const std::vector<std::string> halves = Split(line, " => ");
    ASSERT_EQ(halves.size(), 2u);
    const std::vector<std::string> parts = Split(halves[1], " | ");
    quorvel::test::TestPpd model;
    std::istringstream options(halves[0]);
    for (std::string o; options >> o;) {
      const std::string key = o.substr(0, o.find('=')), code = o.substr(o.find('=') + 1);
      if (key == "OutputDPI")
        model.outputDpi = code;
      else
        model.options.push_back(quorvel::test::NumericOption(key, code, {code}));
    }
    ASSERT_NE(Open(model), nullptr);
    tagOEMCFG cfg;
    memset(&cfg, 0x11, sizeof cfg);
    TraceCapture trace;
    testing::internal::CaptureStderr();
    InitalizeOemCfg(&cfg, ppd_, &header);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(parts.size() > 2 ? err : "", parts.size() > 2 ? parts[2] + "\n" : "");
    std::istringstream fields(parts[0]);
    std::string first, records;
    int64_t firstValue = 0;
    for (std::string f; fields >> f;) {
      const std::string name = f.substr(0, f.find('=')), text = f.substr(f.find('=') + 1);
      const int64_t value = text[0] == '-' ? std::stoll(text) : int64_t(std::stoull(text));
      ASSERT_TRUE(kFields.count(name)) << name;
      EXPECT_EQ(kFields.at(name)(cfg), value) << name;
      if (first.empty()) first = name, firstValue = value;
    }
    const bool all = parts.size() > 1 && parts[1].rfind("all: ", 0) == 0;
    for (const std::string& m : trace.Messages()) {
      if (all || m.rfind("Init " + first + ":", 0) == 0)
        records += (records.empty() ? "" : " / ") + m;
    }
    std::string expected = "Init " + first + ": " + std::to_string(int32_t(firstValue));
    if (parts.size() > 1) expected = all ? parts[1].substr(5) : parts[1] == "-" ? "" : parts[1];
    EXPECT_EQ(records, expected);
  }
  EXPECT_GT(rows, 50) << "option_cases.txt missing or cut short";
}

}  // namespace
