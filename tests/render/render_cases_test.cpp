// The renderer's cases as data: tests/render/render_cases.txt holds one call per line (the
// page pipeline, page output, cutter plan, preamble and command emitters) with its settings,
// the expected TSPL summary and, above it, where that value comes from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/dots.h"
#include "render/page_output.h"
#include "tests/support/render_job.h"

namespace quorvel::test {
namespace {

using Setter = std::function<void(RenderJob&, int64_t)>;
// clang-format off
#define CFG(f) {#f, [](RenderJob& j, int64_t v) { j.cfg.f = static_cast<decltype(j.cfg.f)>(v); }}
#define DEV(f) {#f, [](RenderJob& j, int64_t v) { j.dev.f = static_cast<int16_t>(v); }}
const std::map<std::string, Setter> kFields = {
    CFG(sHrzDir), CFG(sVtcDir), CFG(sHrzOffset), CFG(sVtcOffset), CFG(sDensity), CFG(sRotation),
    CFG(sMirror), CFG(bNegative), CFG(dwOperationAfterPrn), CFG(dwOperationModeAfterPrn),
    CFG(nBrightness), CFG(sPaperType), CFG(sLabelType), CFG(GAPHeight), CFG(BLineHeight),
    CFG(BLineOffset), CFG(sIntervalValue), CFG(sFeedLen), CFG(sHalftoneMethod), CFG(sRotate90),
    CFG(sIsLineImaginary), CFG(sMinImaginaryLineLen), CFG(sBlackInterval), CFG(sWhiteInterval),
    CFG(nLevelsAdj), CFG(sMaxOutputWidth), CFG(sOutputYDPI), CFG(sPaperMode), CFG(sPrintSpeed),
    CFG(sSavePaperMode), CFG(sAutoRotate90), CFG(sFixedHeight), CFG(sStartOffsetValue),
    CFG(sEndOffsetValue), DEV(dmOrientation), DEV(dmPrintQuality), DEV(dmYResolution),
    DEV(dmCollate),
    {"dpi", [](RenderJob& j, int64_t v) { j.cfg.sOutputXDPI = j.cfg.sOutputYDPI = int16_t(v); }},
    {"res", [](RenderJob& j, int64_t v) { j.dev.dmPrintQuality = j.dev.dmYResolution = int16_t(v); }},
    {"cx", [](RenderJob& j, int64_t v) { j.pdev.srcGdiInfo.szlPhysSize.cx = int32_t(v); }},
    {"cy", [](RenderJob& j, int64_t v) { j.pdev.srcGdiInfo.szlPhysSize.cy = int32_t(v); }},
    {"offx", [](RenderJob& j, int64_t v) { j.pdev.srcGdiInfo.ptlPhysOffset.x = int32_t(v); }},
    {"offy", [](RenderJob& j, int64_t v) { j.pdev.srcGdiInfo.ptlPhysOffset.y = int32_t(v); }}};
// clang-format on

struct Case {
  int line;
  std::string op, settings, expected;
  std::map<std::string, std::string> items;  // "WxH" is stored under "size"
  std::vector<std::vector<int>> boxes;       // l, t, r, b, gray
  int fill = 255;
};

std::vector<int> Ints(const std::string& text) {
  std::vector<int> v;
  std::istringstream in(text);
  for (std::string n; std::getline(in, n, ',');) v.push_back(std::stoi(n));
  return v;
}

std::vector<Case> LoadCases() {
  std::ifstream in(std::string(QEV_SOURCE_DIR) + "/tests/render/render_cases.txt");
  std::vector<std::pair<std::string, std::string>> defs;
  std::vector<Case> cases;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    for (const auto& [name, text] : defs) {
      for (size_t at; (at = line.find("@" + name)) != std::string::npos;)
        line.replace(at, name.size() + 1, text);
    }
    std::istringstream words(line);
    Case c;
    c.line = number;
    words >> c.op;
    if (c.op == "def") {
      std::string name, rest;
      words >> name;
      std::getline(words >> std::ws, rest);
      defs.emplace_back(name, rest);
      continue;
    }
    const size_t arrow = line.find(" =>");
    c.expected = arrow + 4 <= line.size() ? line.substr(arrow + 4) : "";
    std::string head = line.substr(0, arrow);
    const size_t semi = head.find(" ; ");
    if (semi != std::string::npos) c.settings = head.substr(semi + 3), head.erase(semi);
    std::istringstream items(head.substr(c.op.size()));
    for (std::string item; items >> item;) {
      const size_t eq = item.find('=');
      const std::string key = item.substr(0, eq),
                        value = eq == std::string::npos ? "" : item.substr(eq + 1);
      if (key == "box") {
        auto b = Ints(value);
        b.resize(5, 0);
        c.boxes.push_back(b);
      } else if (key == "fill") {
        c.fill = std::stoi(value);
      } else if (eq == std::string::npos && item.find('x') != std::string::npos) {
        c.items["size"] = item;
      } else {
        c.items[key] = value;
      }
    }
    cases.push_back(c);
  }
  return cases;
}

// Gray of pixel (x, y) as the case paints it.
int Gray(const Case& c, int x, int y) {
  int g = c.items.count("pattern") ? (x * 37 + y * 91) % 256 : c.fill;
  for (const auto& b : c.boxes) {
    if (x >= b[0] && x <= b[2] && y >= b[1] && y <= b[3]) g = b[4];
  }
  return g;
}

// Commands joined by "|", bitmap rows as "dots N@x,y..." (all positions up to 4 dots).
std::string Summary(const std::string& tspl, bool positions) {
  std::istringstream listing(ReadableTspl(tspl));
  std::string out, line, at;
  int dots = 0, y = -1;
  auto flush = [&] {
    if (y < 0) return;
    if (dots > 4) at = at.substr(0, at.find('@', 1));
    out += "|dots " + std::to_string(dots) + (positions ? at : "");
    y = -1;
  };
  for (; std::getline(listing, line);) {
    if (!line.empty() && (line[0] == '#' || line[0] == '.')) {
      if (y < 0) dots = 0, at.clear();
      ++y;
      for (size_t x = 0; (x = line.find('#', x)) != std::string::npos; ++x) {
        if (++dots <= 4) at += "@" + std::to_string(x) + "," + std::to_string(y);
      }
      continue;
    }
    flush();
    out += (out.empty() ? "" : "|") + line;
  }
  flush();
  return out;
}

std::string RunCase(const Case& c) {
  RenderJob job;
  if (c.op == "page") job.cfg.sHalftoneMethod = 1, job.cfg.sMaxOutputWidth = 0;
  std::istringstream settings(c.settings);
  for (std::string s; settings >> s;) {
    const size_t eq = s.find('=');
    const std::string value = s.substr(eq + 1);
    const auto field = kFields.find(s.substr(0, eq));
    if (field == kFields.end()) return "unknown field " + s;
    field->second(job, value[0] == '-' ? std::stoll(value) : int64_t(std::stoull(value)));
  }
  auto item = [&](const char* key) { return c.items.count(key) ? std::stoi(c.items.at(key)) : 0; };
  int w = 0, h = 0;
  if (c.items.count("size")) sscanf(c.items.at("size").c_str(), "%dx%d", &w, &h);
  const std::vector<int> r = c.items.count("rect") ? Ints(c.items.at("rect")) : std::vector<int>(4);
  const tagRECT rect{r[0], r[1], r[2], r[3]};
  StdoutCapture capture;
  bool ok = true;
  if (c.op == "page" && w > 0) {
    const auto stride = static_cast<uint32_t>(RowStride(w, 24));
    auto* buf = static_cast<uint8_t*>(calloc(stride * h, 1));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) memset(buf + y * stride + x * 3, Gray(c, x, y), 3);
    job.pdev.pBufStart = buf;
    job.pdev.dwBufSize = stride * h;
    job.pdev.bmInfoHeader.biWidth = w;
    job.pdev.bmInfoHeader.biHeight = h;
    job.pdev.bmInfoHeader.biBitCount = 24;
    job.pdev.srcGdiInfo.ulVertRes = h;
    job.pdev.srcGdiInfo.szlPhysSize = {w, h};
    job.renderer.TransCommand(true);
    free(job.pdev.pBufStart);
  } else if (c.op == "page") {
    ok = job.renderer.TransCommand(true);
  } else if (c.op == "output" || c.op == "place") {
    const int stride = (w + 3) / 4 * 4;
    std::vector<uint8_t> px(stride * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) px[y * stride + x] = static_cast<uint8_t>(Gray(c, x, y));
    ok =
        render::WritePageOutput(job.renderer, job.cfg, job.dev, job.pdev, {px.data(), w, h, stride},
                                rect, c.items.count("rot") ? item("rot") : 3, true);
  } else if (c.op == "plan") {
    std::string plan;
    uint32_t printed = 0;
    for (int page = 1; page <= item("pages"); ++page) {
      std::string steps;
      for (const auto& s : render::PlanPrintSteps(job.cfg, page, static_cast<int16_t>(item("n")),
                                                  page == item("pages"), &printed)) {
        steps += (steps.empty() ? "" : " ") + std::string(s.kind == s.kCutter ? "C" : "") +
                 std::to_string(s.value);
      }
      plan += "[" + steps + "]";
    }
    return plan + " " + std::to_string(printed);
  } else if (c.op == "preamble") {
    ok = job.renderer.StartDocCMD();
  } else if (c.op == "size") {
    ok = job.renderer.OutPutSizeCommand(w, h);
  } else if (c.op == "sizerec") {
    ok = job.renderer.OutPutSizeCommand();
  } else if (c.op == "bitmap") {
    ok = job.renderer.OutPutBITMAPCommand(rect);
  } else if (c.op == "opmode") {
    ok = job.renderer.OutPutOperationMode();
  } else if (c.op == "copies") {
    ok = job.renderer.OutPutCopiesCommand(item("n"));
  } else {
    return "unknown op " + c.op;
  }
  const std::string bytes = capture.Take();
  std::string out;
  if (c.op == "page" || c.op == "output" || c.op == "place") {
    out = Summary(bytes, c.expected.find('@') != std::string::npos);
    if (c.op != "output") {  // from the BITMAP line up to PRINT (place: the line alone)
      const size_t from = out.find("BITMAP ");
      out = from == std::string::npos ? "" : out.substr(from);
      out = out.substr(0, out.find(c.op == "place" ? "|" : "|PRINT"));
    }
  } else {
    out = bytes;  // commands joined by "|" instead of their line ends
    for (size_t at; (at = out.find("\r\n")) != std::string::npos;) out.replace(at, 2, "|");
    if (!out.empty() && out.back() == '|') out.pop_back();
  }
  return ok ? out : out.empty() ? "fail" : "fail " + out;
}

TEST(RenderCases, EachCaseGivesItsExpectedOutput) {
  const std::vector<Case> cases = LoadCases();
  ASSERT_GT(cases.size(), 90u) << "render_cases.txt missing or cut short";
  for (const Case& c : cases) EXPECT_EQ(RunCase(c), c.expected) << "render_cases.txt:" << c.line;
}

}  // namespace
}  // namespace quorvel::test
