// Whole jobs through the built filter, one folder per case under tests/filter/cases: case.txt
// describes the PPD, the command line and the raster, and what CUPS must see (exit status,
// ERROR and PAGE lines, trace texts) and says where those come from; expected.tspl is the TSPL
// as a ReadableTspl listing (commands as text, bitmap rows as '#' and '.').
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {
namespace {

const std::string kCases = std::string(QEV_SOURCE_DIR) + "/tests/filter/cases/";

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kCases))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::map<std::string, cups_cspace_t> kSpaces = {
    {"rgb", CUPS_CSPACE_RGB},  {"w", CUPS_CSPACE_W},     {"k", CUPS_CSPACE_K},
    {"sw", CUPS_CSPACE_SW},    {"cmy", CUPS_CSPACE_CMY}, {"cmyk", CUPS_CSPACE_CMYK},
    {"rgba", CUPS_CSPACE_RGBA}};

// "w=16 h=8 fill=gradient space=k bits=1 ..." into a page; unknown items fail the case.
RasterPage ParsePage(const std::string& spec) {
  RasterPage p;
  int bpl = 0;  // added to cupsBytesPerLine
  using Set = std::function<void(uint32_t, const std::string&)>;
  const std::map<std::string, Set> items = {
      {"w", [&](uint32_t n, auto&) { p.width = n; }},
      {"h", [&](uint32_t n, auto&) { p.height = n; }},
      {"dpi", [&](uint32_t n, auto&) { p.xdpi = p.ydpi = n; }},
      {"ydpi", [&](uint32_t n, auto&) { p.ydpi = n; }},
      {"copies", [&](uint32_t n, auto&) { p.copies = n; }},
      {"bits", [&](uint32_t n, auto&) { p.bitsPerColor = n; }},
      {"rows", [&](uint32_t n, auto&) { p.rowsToWrite = n; }},  // fewer rows: the stream ends
      {"bpl", [&](uint32_t n, auto&) { bpl = int(n); }},
      {"space", [&](uint32_t, auto& v) { p.colorSpace = kSpaces.at(v); }},
      {"order",
       [&](uint32_t, auto& v) {
         p.colorOrder = v == "banded" ? CUPS_ORDER_BANDED : CUPS_ORDER_PLANAR;
       }},
      {"fill",
       [&](uint32_t n, auto& v) { p.fill = v == "gradient" ? GradientRgb() : SolidByte(n); }}};
  std::istringstream in(spec);
  for (std::string item; in >> item;) {
    const size_t eq = item.find('=');
    const auto set = items.find(item.substr(0, eq));
    if (eq == std::string::npos || set == items.end())
      ADD_FAILURE() << "unknown page item " << item;
    else
      set->second(uint32_t(std::strtol(item.c_str() + eq + 1, nullptr, 0)), item.substr(eq + 1));
  }
  if (bpl != 0) p.tweak = [bpl](cups_page_header2_t& h) { h.cupsBytesPerLine += bpl; };
  return p;
}

// Every "key: value" line of case.txt in order; '#' starts a comment line.
std::multimap<std::string, std::string> ReadLines(const std::string& path) {
  std::multimap<std::string, std::string> lines;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(": ");
    if (!line.empty() && line[0] != '#' && colon != std::string::npos)
      lines.emplace(line.substr(0, colon), line.substr(colon + 2));
  }
  return lines;
}

struct Case {
  FilterRun run;
  int exitStatus = 0;
  bool commandsOnly = false;  // "compare: commands": the listing without its bitmap rows
  std::string err, pages;
  std::vector<std::string> trace, absent;  // in this order; a trailing '*' matches a prefix
};

// The keys: ppd (sample, test, missing, unset, broken), ppd-option ("Mirror 0 0,1": keyword,
// default code, codes, for the test PPD), options, copies, args (replaces the whole command
// line), raster (file: argv[6]; missing: a file that is not there), page, truncate (bytes cut
// off the stream's end), exit, stderr, PAGE, trace, no-trace, compare.
Case ReadCase(const std::string& dir, const TempDir& tmp) {
  const auto lines = ReadLines(dir + "/case.txt");
  const std::set<std::string> known = {"ppd",    "ppd-option", "options",  "copies", "args",
                                       "raster", "page",       "truncate", "exit",   "stderr",
                                       "PAGE",   "trace",      "no-trace", "compare"};
  auto all = [&lines](const std::string& key) {
    std::vector<std::string> values;
    for (auto [i, end] = lines.equal_range(key); i != end; ++i) values.push_back(i->second);
    return values;
  };
  auto one = [&](const std::string& key, const std::string& fallback) {
    return lines.count(key) ? lines.find(key)->second : fallback;
  };
  for (const auto& line : lines) EXPECT_TRUE(known.count(line.first)) << line.first;
  Case c;
  c.exitStatus = std::stoi(one("exit", "0"));
  c.commandsOnly = one("compare", "") == "commands";
  for (const std::string& v : all("stderr")) c.err += v + "\n";
  for (const std::string& v : all("PAGE")) c.pages += "PAGE: " + v + "\n";
  c.trace = all("trace");
  c.absent = all("no-trace");

  std::vector<RasterPage> pages;
  for (const std::string& v : all("page")) pages.push_back(ParsePage(v));
  const std::string raster = RasterBytes(pages);  // no pages: the bare synchronisation word
  c.run.stdinData = raster.substr(
      0, raster.size() - std::min<size_t>(std::stoul(one("truncate", "0")), raster.size()));
  PpdSpec spec;
  for (const std::string& v : all("ppd-option")) {
    std::istringstream o(v);
    std::string keyword, def, codes, code;
    o >> keyword >> def >> codes;
    std::vector<std::string> list;
    for (std::istringstream cs(codes); std::getline(cs, code, ',');) list.push_back(code);
    spec.options.push_back(NumericOption(keyword, def, list, keyword.substr(0, 1)));
  }
  const std::string ppd = one("ppd", "sample");
  c.run.ppd = ppd == "sample" ? std::string(QEV_SOURCE_DIR) + "/samples/sample-label.ppd"
                              : tmp.file(ppd + ".ppd");
  c.run.unsetPpd = ppd == "unset";
  if (ppd == "broken")
    WriteFile(c.run.ppd, "*PPD-Adobe: \"4.3\"\n*ModelName: \"x\"\n*Bad\001Key: \"1\"\n");
  if (ppd == "test") WritePpdFile(c.run.ppd, spec);

  const std::string raster_file = one("raster", "");
  const std::string file = raster_file.empty() ? "" : tmp.file(raster_file + ".ras");
  if (raster_file == "file") {
    WriteFile(file, c.run.stdinData);
    c.run.stdinData = "not a raster";
  }
  c.run.args = JobArgs(one("options", ""), file, one("copies", "1"));
  if (lines.count("args")) {
    std::istringstream a(one("args", ""));
    c.run.args.assign(std::istream_iterator<std::string>(a), {});
  }
  return c;
}

bool Matches(const std::string& message, const std::string& want) {
  if (!want.empty() && want.back() == '*')
    return message.rfind(want.substr(0, want.size() - 1), 0) == 0;
  return message == want;
}

std::string WithoutBitmapRows(const std::string& listing) {
  std::string out;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);)
    if (line.find_first_not_of("#.") != std::string::npos) out += line + "\n";
  return out;
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
  std::string listing = ReadableTspl(r.out), expected = ReadFile(dir + "/expected.tspl");
  if (c.commandsOnly) listing = WithoutBitmapRows(listing);
  // After a deliberate change of the output: rewrite the listings, then review their diff.
  if (getenv("QEV_UPDATE_CASES") && listing != expected) WriteFile(dir + "/expected.tspl", listing);
  EXPECT_EQ(listing, expected) << "expected.tspl of " << GetParam();
  const std::vector<std::string> m = trace.Messages(r.pid);
  size_t at = 0;
  for (const std::string& want : c.trace) {
    while (at < m.size() && !Matches(m[at], want)) ++at;
    EXPECT_LT(at, m.size()) << "trace text missing or out of order: " << want;
  }
  for (const std::string& gone : c.absent)
    EXPECT_TRUE(std::none_of(m.begin(), m.end(), [&](auto& s) { return Matches(s, gone); }))
        << "unexpected trace text: " << gone;
}

// Test names are the folder names with '-' spelt '_', as GoogleTest allows no other.
INSTANTIATE_TEST_SUITE_P(Cases, JobCase, testing::ValuesIn(CaseNames()), [](const auto& info) {
  std::string name = info.param;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

}  // namespace
}  // namespace quorvel::test
