// Every option through the built filter and the 4-inch 203 dpi PPD of the family: each case of
// tests/tools/option_labels.txt is a job (options, pages) with the commands and warnings a
// user of the label printer expects, and why.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"

namespace {

struct Job {
  int line = 0;
  std::string options, expected;
  std::vector<quorvel::test::RasterPage> pages;
};

// "WxH l,t,r,b [copies] [collate]": a white page with a black box.
quorvel::test::RasterPage Page(const std::string& spec) {
  quorvel::test::RasterPage page;
  uint32_t l = 0, t = 0, r = 0, b = 0, copies = 1;
  char collate[8] = "";
  sscanf(spec.c_str(), "%ux%u %u,%u,%u,%u %u %7s", &page.width, &page.height, &l, &t, &r, &b,
         &copies, collate);
  page.copies = copies;
  page.collate = std::string(collate) == "collate";
  const uint32_t w = page.width;
  page.fill = [=](uint32_t y, uint8_t* row, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i) row[i] = 255;
    if (y < t || y > b) return;
    for (uint32_t x = l; x <= r && x < w; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 0;
  };
  return page;
}

// The lines a case is about: media, OFFSET, SIZE, BITMAP without its mode, PRINT, SET CUTTER
// from the readable dump, then the WARNING lines of standard error.
std::string Commands(const std::string& tspl, const std::string& err) {
  std::string out, line;
  std::istringstream dump(quorvel::test::ReadableTspl(tspl) + err);
  while (std::getline(dump, line)) {
    if (line.rfind("BITMAP ", 0) == 0) line.erase(line.rfind(',', line.size() - 2));
    for (const char* keep :
         {"GAP", "BLINE", "OFFSET", "SIZE", "PRINT", "SET CUTTER", "BITMAP", "WARNING:"}) {
      if (line.rfind(keep, 0) == 0) out += line + "\n";
    }
  }
  return out;
}

TEST(OptionLabels, EveryOptionPrintsTheExpectedLabel) {
  std::ifstream in(std::string(QEV_SOURCE_DIR) + "/tests/tools/option_labels.txt");
  std::vector<Job> jobs;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("job", 0) == 0) {
      jobs.push_back({number, line.size() > 4 ? line.substr(4) : "", "", {}});
    } else if (!jobs.empty() && line.rfind("page ", 0) == 0) {
      jobs.back().pages.push_back(Page(line.substr(5)));
    } else if (!jobs.empty()) {
      jobs.back().expected += line + "\n";
    }
  }
  ASSERT_GT(jobs.size(), 10u) << "option_labels.txt missing or cut short";
  for (const Job& job : jobs) {
    quorvel::test::FilterRun run;
    run.args = quorvel::test::JobArgs(job.options);
    run.ppd = std::string(QEV_PPD_DIR) + "/qevcp-tspl-4in-203dpi.ppd";
    run.stdinData = quorvel::test::RasterBytes(job.pages);
    const quorvel::test::RunResult r = quorvel::test::RunFilter(run);
    EXPECT_EQ(r.exitStatus, 0) << "option_labels.txt:" << job.line << "\n" << r.err;
    EXPECT_EQ(Commands(r.out, r.err), job.expected) << "option_labels.txt:" << job.line;
  }
}

}  // namespace
