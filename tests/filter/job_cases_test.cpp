// Whole jobs through the built filter, one folder per case under tests/filter/cases: case.txt
// describes the PPD, command line and raster, what CUPS must see (exit status, ERROR and PAGE
// lines, trace texts) and where that comes from; expected.tspl is the ReadableTspl listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <utility>

#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {
namespace {

const std::string kCases = std::string(QEV_SOURCE_DIR) + "/tests/filter/cases/";
const std::string kKeys =
    " ppd options copies args raster page truncate exit stderr PAGE trace "
    "no-trace compare ";

// "w=16 h=8 fill=gradient space=k bits=1 ..." into a page; bpl=n adds n to cupsBytesPerLine
// and rows=n writes only n rows (the stream ends there).
RasterPage ParsePage(const std::string& text) {
  static const std::map<std::string, uint32_t RasterPage::*> numbers = {
      {"w", &RasterPage::width},       {"h", &RasterPage::height},
      {"xdpi", &RasterPage::xdpi},     {"ydpi", &RasterPage::ydpi},
      {"copies", &RasterPage::copies}, {"bits", &RasterPage::bitsPerColor}};
  static const std::map<std::string, long> names = {
      {"rgb", CUPS_CSPACE_RGB},   {"w", CUPS_CSPACE_W},          {"k", CUPS_CSPACE_K},
      {"sw", CUPS_CSPACE_SW},     {"cmy", CUPS_CSPACE_CMY},      {"cmyk", CUPS_CSPACE_CMYK},
      {"rgba", CUPS_CSPACE_RGBA}, {"banded", CUPS_ORDER_BANDED}, {"planar", CUPS_ORDER_PLANAR}};
  RasterPage p;
  std::istringstream in(text);
  for (std::string item; in >> item;) {
    const size_t eq = std::min(item.find('='), item.size());
    const std::string key = item.substr(0, eq), v = item.substr(std::min(eq + 1, item.size()));
    const long n = names.count(v) ? names.at(v) : std::strtol(v.c_str(), nullptr, 0);
    if (numbers.count(key))
      p.*numbers.at(key) = uint32_t(n);
    else if (key == "space")
      p.colorSpace = cups_cspace_t(n);
    else if (key == "order")
      p.colorOrder = cups_order_t(n);
    else if (key == "rows")
      p.rowsToWrite = n;
    else if (key == "bpl")
      p.tweak = [n](cups_page_header2_t& h) { h.cupsBytesPerLine += n; };
    else if (key == "fill")
      p.fill = v == "gradient" ? GradientRgb() : SolidByte(uint8_t(n));
    else
      ADD_FAILURE() << "unknown page item " << item;
  }
  return p;
}

// A trailing '*' matches every message that starts with what precedes it.
bool Matches(const std::string& message, const std::string& want) {
  const size_t n = want.size() - (!want.empty() && want.back() == '*');
  return n < want.size() ? message.compare(0, n, want, 0, n) == 0 : message == want;
}

class JobCase : public testing::TestWithParam<std::string> {};

// ppd: sample (default), unset, or a file of the case folder (there or not). raster: file (argv[6])
// or missing (a file that is not there). args replaces the command line; truncate cuts bytes off
// the stream's end.
TEST_P(JobCase, CupsSeesWhatTheCaseSays) {
  const std::string dir = kCases + GetParam();
  std::map<std::string, std::vector<std::string>> c;  // the values of each key, in order
  std::istringstream in(ReadFile(dir + "/case.txt"));
  for (std::string line; std::getline(in, line);) {
    const size_t colon = std::min(line.find(": "), line.size());
    if (line.empty() || line[0] == '#') continue;
    ASSERT_TRUE(colon < line.size() && kKeys.find(" " + line.substr(0, colon) + " ") != kKeys.npos)
        << "unknown line " << line;
    c[line.substr(0, colon)].push_back(line.substr(colon + 2));
  }
  auto one = [&c](const char* key, const char* otherwise) {
    return c.count(key) ? c[key].back() : std::string(otherwise);
  };
  auto lines = [&c](const char* key, const std::string& prefix) {
    std::string all;
    for (const std::string& v : c[key]) all += prefix + v + "\n";
    return all;
  };

  TempDir tmp;
  FilterRun run;
  std::vector<RasterPage> pages;
  for (const std::string& text : c["page"]) pages.push_back(ParsePage(text));
  run.stdinData = RasterBytes(pages);  // no pages: the bare synchronisation word
  run.stdinData.resize(run.stdinData.size() -
                       std::min<size_t>(std::stoul(one("truncate", "0")), run.stdinData.size()));
  const std::string ppd = one("ppd", "sample"), raster = one("raster", "");
  run.unsetPpd = ppd == "unset";
  run.ppd =
      ppd == "sample" ? std::string(QEV_SOURCE_DIR) + "/samples/sample-label.ppd" : dir + "/" + ppd;
  const std::string file = raster.empty() ? "" : tmp.file(raster + ".ras");
  if (raster == "file") {  // the named file holds the raster, standard input garbage
    ASSERT_TRUE(WriteFile(file, std::exchange(run.stdinData, "not a raster")));
  }
  run.args = JobArgs(one("options", ""), file, one("copies", "1"));
  std::istringstream args(one("args", ""));
  if (c.count("args")) run.args.assign(std::istream_iterator<std::string>(args), {});

  TraceLog trace;
  const RunResult r = RunFilter(run);
  EXPECT_EQ(r.termSignal, 0);
  EXPECT_EQ(r.exitStatus, std::stoi(one("exit", "0")));
  EXPECT_EQ(r.err, lines("stderr", ""));
  EXPECT_EQ(r.pages, lines("PAGE", "PAGE: "));
  // "compare: commands" leaves the bitmap rows out of the listing.
  std::string listing, expected = ReadFile(dir + "/expected.tspl");
  std::istringstream listed(ReadableTspl(r.out));
  for (std::string line; std::getline(listed, line);)
    if (!c.count("compare") || line.find_first_not_of("#.") != std::string::npos)
      listing += line + "\n";
  // After a deliberate change of the output: rewrite the listings, then review their diff.
  if (getenv("QEV_UPDATE_CASES") && listing != expected) WriteFile(dir + "/expected.tspl", listing);
  EXPECT_EQ(listing, expected) << "expected.tspl of " << GetParam();
  const std::vector<std::string> m = trace.Messages(r.pid);
  auto at = m.begin();
  for (const std::string& want : c["trace"]) {  // in this order
    at = std::find_if(at, m.end(), [&](auto& s) { return Matches(s, want); });
    EXPECT_NE(at, m.end()) << "trace text missing or out of order: " << want;
  }
  for (const std::string& gone : c["no-trace"])
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

INSTANTIATE_TEST_SUITE_P(Cases, JobCase, testing::ValuesIn(CaseNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace quorvel::test
