// Whole jobs through the built filter, one folder per case under tests/filter/cases: case.txt
// describes the PPD, command line and raster, what CUPS must see (exit status, ERROR and PAGE
// lines, trace texts) and where that comes from; expected.tspl is the ReadableTspl listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {
namespace {

const std::string kCases = std::string(QEV_SOURCE_DIR) + "/tests/filter/cases/";

// "w=16 h=8 fill=gradient space=k bits=1 ..." into a page; bpl=n adds n to cupsBytesPerLine
// and rows=n writes only n rows (the stream ends there).
RasterPage ParsePage(const std::string& spec) {
  static const std::map<std::string, cups_cspace_t> spaces = {
      {"rgb", CUPS_CSPACE_RGB},  {"w", CUPS_CSPACE_W},     {"k", CUPS_CSPACE_K},
      {"sw", CUPS_CSPACE_SW},    {"cmy", CUPS_CSPACE_CMY}, {"cmyk", CUPS_CSPACE_CMYK},
      {"rgba", CUPS_CSPACE_RGBA}};
  RasterPage p;
  std::istringstream in(spec);
  for (std::string item; in >> item;) {
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq), v = item.substr(std::min(eq, item.size() - 1) + 1);
    const long n = std::strtol(v.c_str(), nullptr, 0);
    if (key == "w")
      p.width = uint32_t(n);
    else if (key == "h")
      p.height = uint32_t(n);
    else if (key == "dpi")
      p.xdpi = p.ydpi = uint32_t(n);
    else if (key == "ydpi")
      p.ydpi = uint32_t(n);
    else if (key == "copies")
      p.copies = uint32_t(n);
    else if (key == "bits")
      p.bitsPerColor = uint32_t(n);
    else if (key == "rows")
      p.rowsToWrite = n;
    else if (key == "bpl")
      p.tweak = [n](cups_page_header2_t& h) { h.cupsBytesPerLine += n; };
    else if (key == "space" && spaces.count(v))
      p.colorSpace = spaces.at(v);
    else if (key == "order")
      p.colorOrder = v == "banded" ? CUPS_ORDER_BANDED : CUPS_ORDER_PLANAR;
    else if (key == "fill")
      p.fill = v == "gradient" ? GradientRgb() : SolidByte(uint8_t(n));
    else
      ADD_FAILURE() << "unknown page item " << item;
  }
  return p;
}

// "Mirror 0 0,1": keyword, default code, codes of a test PPD option.
PpdOption ParseOption(const std::string& spec) {
  std::istringstream in(spec);
  std::string keyword, def, codes, code;
  in >> keyword >> def >> codes;
  std::vector<std::string> list;
  for (std::istringstream cs(codes); std::getline(cs, code, ',');) list.push_back(code);
  return NumericOption(keyword, def, list, keyword.substr(0, 1));
}

struct Case {
  FilterRun run;
  int exitStatus = 0;
  bool commandsOnly = false;  // "compare: commands": the listing without its bitmap rows
  std::string err, pages;
  std::vector<std::string> trace, absent;  // in this order; a trailing '*' matches a prefix
};

// ppd: sample (default), test (written from the ppd-option lines), unset, or a file of the
// case folder (there or not). raster: file (argv[6]) or missing (a file that is not there).
// args replaces the whole command line; truncate cuts bytes off the stream's end.
Case ReadCase(const std::string& dir, const TempDir& tmp) {
  Case c;
  std::vector<RasterPage> pages;
  PpdSpec spec;
  std::string ppd = "sample", options, copies = "1", raster, args;
  size_t cut = 0;
  std::istringstream in(ReadFile(dir + "/case.txt"));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t colon = std::min(line.find(": "), line.size());
    const std::string key = line.substr(0, colon),
                      v = line.substr(std::min(colon + 2, line.size()));
    if (key == "ppd")
      ppd = v;
    else if (key == "ppd-option")
      spec.options.push_back(ParseOption(v));
    else if (key == "options")
      options = v;
    else if (key == "copies")
      copies = v;
    else if (key == "args")
      args = v;
    else if (key == "raster")
      raster = v;
    else if (key == "page")
      pages.push_back(ParsePage(v));
    else if (key == "truncate")
      cut = std::stoul(v);
    else if (key == "exit")
      c.exitStatus = std::stoi(v);
    else if (key == "stderr")
      c.err += v + "\n";
    else if (key == "PAGE")
      c.pages += "PAGE: " + v + "\n";
    else if (key == "trace")
      c.trace.push_back(v);
    else if (key == "no-trace")
      c.absent.push_back(v);
    else if (key == "compare")
      c.commandsOnly = v == "commands";
    else
      ADD_FAILURE() << "unknown line " << line;
  }
  const std::string stream = RasterBytes(pages);  // no pages: the bare synchronisation word
  c.run.stdinData = stream.substr(0, stream.size() - std::min(cut, stream.size()));
  c.run.unsetPpd = ppd == "unset";
  c.run.ppd = ppd == "sample" ? std::string(QEV_SOURCE_DIR) + "/samples/sample-label.ppd"
              : ppd == "test" ? tmp.file("test.ppd")
                              : dir + "/" + ppd;
  if (ppd == "test") WritePpdFile(c.run.ppd, spec);
  const std::string file = raster.empty() ? "" : tmp.file(raster + ".ras");
  if (raster == "file") {
    WriteFile(file, c.run.stdinData);
    c.run.stdinData = "not a raster";
  }
  c.run.args = JobArgs(options, file, copies);
  std::istringstream a(args);
  if (!args.empty()) c.run.args.assign(std::istream_iterator<std::string>(a), {});
  return c;
}

// A trailing '*' matches every message that starts with what precedes it.
bool Matches(const std::string& message, const std::string& want) {
  const size_t n = want.size() - (!want.empty() && want.back() == '*');
  return n < want.size() ? message.compare(0, n, want, 0, n) == 0 : message == want;
}

class JobCase : public testing::TestWithParam<std::string> {};

TEST_P(JobCase, CupsSeesWhatTheCaseSays) {
  const std::string dir = kCases + GetParam();
  TempDir tmp;
  const Case c = ReadCase(dir, tmp);
  TraceLog trace;
  const RunResult r = RunFilter(c.run);
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitStatus, c.exitStatus);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.pages, c.pages);
  std::string listing, expected = ReadFile(dir + "/expected.tspl");
  std::istringstream lines(ReadableTspl(r.out));
  for (std::string line; std::getline(lines, line);)
    if (!c.commandsOnly || line.find_first_not_of("#.") != std::string::npos)
      listing += line + "\n";
  // After a deliberate change of the output: rewrite the listings, then review their diff.
  if (getenv("QEV_UPDATE_CASES") && listing != expected) WriteFile(dir + "/expected.tspl", listing);
  EXPECT_EQ(listing, expected) << "expected.tspl of " << GetParam();
  const std::vector<std::string> m = trace.Messages(r.pid);
  auto at = m.begin();
  for (const std::string& want : c.trace) {
    at = std::find_if(at, m.end(), [&](auto& s) { return Matches(s, want); });
    EXPECT_NE(at, m.end()) << "trace text missing or out of order: " << want;
  }
  for (const std::string& gone : c.absent)
    EXPECT_TRUE(std::none_of(m.begin(), m.end(), [&](auto& s) { return Matches(s, gone); }))
        << "unexpected trace text: " << gone;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kCases))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Test names are the folder names with '-' spelt '_', as GoogleTest allows no other.
INSTANTIATE_TEST_SUITE_P(Cases, JobCase, testing::ValuesIn(CaseNames()), [](const auto& info) {
  std::string name = info.param;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

}  // namespace
}  // namespace quorvel::test
