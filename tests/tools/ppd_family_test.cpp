// Tests of the generated PPD family: each PPD passes cupstestppd and opens in libcups, the filter
// reads its defaults (ppd_defaults.txt), sizes fit the head with zero margins, every choice keeps
// the raster format and resolution, and the jobs of option_labels.txt print the labels expected.
#include <cups/ppd.h>
#include <cups/raster.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings/ppd_lookup.h"
#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"

namespace {

struct Model {
  int dpi;
  int head_mm;  // 104 for the 4-inch models, 54 for the 2-inch ones
};

const Model kModels[] = {{203, 104}, {300, 104}, {203, 54}, {300, 54}};

std::string PpdPath(const Model& m) {
  return std::string(QEV_PPD_DIR) + "/qevcp-tspl-" + (m.head_mm == 104 ? "4" : "2") + "in-" +
         std::to_string(m.dpi) + "dpi.ppd";
}

void PrintTo(const Model& m, std::ostream* os) { *os << PpdPath(m); }

class PpdFamily : public ::testing::TestWithParam<Model> {
 protected:
  void SetUp() override {
    ppd_.reset(ppdOpenFile(PpdPath(GetParam()).c_str()));
    int line = 0;
    ASSERT_NE(ppd_, nullptr) << ppdErrorString(ppdLastError(&line)) << " at line " << line;
    ppdMarkDefaults(ppd_.get());
  }
  std::unique_ptr<ppd_file_t, void (*)(ppd_file_t*)> ppd_{nullptr, ppdClose};
};

TEST_P(PpdFamily, PassesCupstestppd) {
  // cupstestppd fails a PPD whose cupsFilter2 program is missing: give it a root holding one.
  quorvel::test::TempDir root;
  const std::string dir = root.path() + "/usr/lib/cups/filter", log = root.file("log");
  const std::string cmd = "mkdir -p " + dir + " && cp " + QEV_FILTER_EXE + " " + dir +
                          " && cupstestppd -R " + root.path() + " " + PpdPath(GetParam()) + " >" +
                          log + " 2>&1";
  const int status = std::system(cmd.c_str());
  const std::string out = quorvel::test::ReadFile(log);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) GTEST_SKIP() << "cupstestppd missing";
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find(": PASS"), std::string::npos) << out;
}

TEST_P(PpdFamily, DefaultsPrintPathAndSizes) {
  setenv("PPD", PpdPath(GetParam()).c_str(), 1);
  const char* dpi = GetPpdKeywordValue("OutputDPI");
  ASSERT_NE(dpi, nullptr);
  EXPECT_EQ(std::string(dpi), std::to_string(GetParam().dpi));
  std::ifstream in(std::string(QEV_SOURCE_DIR) + "/tests/tools/ppd_defaults.txt");
  int checked = 0;
  for (std::string line, keyword, value; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || !(std::istringstream(line) >> keyword >> value)) continue;
    const float expected = value == "head" ? float(GetParam().head_mm) : std::stof(value);
    EXPECT_EQ(GetOptionChoiceIndexf(keyword.c_str(), ppd_.get()), expected) << keyword;
    ++checked;
  }
  EXPECT_EQ(checked, 32) << "ppd_defaults.txt missing or cut short";

  ppd_attr_t* filter = ppdFindAttr(ppd_.get(), "cupsFilter2", nullptr);
  EXPECT_STREQ(filter ? filter->value : "",
               "application/vnd.cups-raster application/vnd.qevcp-tspl 0 rastertoqevcp");
  EXPECT_EQ(ppd_->manual_copies, 0) << "copies must reach the filter in NumCopies";
  const double head_pt = GetParam().head_mm * 72 / 25.4;
  EXPECT_NEAR(ppd_->custom_max[0], head_pt, 0.01);
  for (float margin : ppd_->custom_margins) EXPECT_EQ(margin, 0.0f);

  std::set<std::string> names;
  for (int i = 0; i < ppd_->num_sizes; ++i) {
    const ppd_size_t& size = ppd_->sizes[i];
    SCOPED_TRACE(size.name);
    if (std::string(size.name) == "Custom") continue;
    names.insert(size.name);
    EXPECT_LE(size.width, head_pt + 0.01);
    EXPECT_TRUE(size.left == 0 && size.bottom == 0 && size.right == size.width &&
                size.top == size.length)
        << "margins must be zero";
    // Names say the size: "WxHmm" or "WxHin".
    double w = 0, h = 0;
    char unit[3] = {};
    ASSERT_EQ(sscanf(size.name, "%lfx%lf%2s", &w, &h, unit), 3);
    const double scale = std::string(unit) == "mm" ? 72 / 25.4 : 72;
    EXPECT_NEAR(size.width, w * scale, 0.01);
    EXPECT_NEAR(size.length, h * scale, 0.01);
  }
  // The common labels of each head width are there.
  EXPECT_EQ(names.count("50x30mm") + names.count("2x1in"), 2u);
  EXPECT_EQ(names.count("4x6in") + names.count("100x150mm"), GetParam().head_mm == 104 ? 2u : 0u);
}

TEST_P(PpdFamily, EveryChoiceKeepsTheRasterFormat) {
  // The raster filters run every marked code as PostScript while building the page header;
  // a code that broke the interpreter would silently turn the page into 1-bit black.
  const unsigned dpi = static_cast<unsigned>(GetParam().dpi);
  for (int g = 0; g < ppd_->num_groups; ++g) {
    for (int o = 0; o < ppd_->groups[g].num_options; ++o) {
      ppd_option_t& option = ppd_->groups[g].options[o];
      for (int c = 0; c < option.num_choices; ++c) {
        SCOPED_TRACE(std::string(option.keyword) + "=" + option.choices[c].choice);
        ppdMarkDefaults(ppd_.get());
        std::string choice = option.choices[c].choice;
        if (choice == "Custom") choice = "Custom.40x80mm";  // a custom size needs its size
        ppdMarkOption(ppd_.get(), option.keyword, choice.c_str());
        cups_page_header2_t h;
        ASSERT_EQ(cupsRasterInterpretPPD(&h, ppd_.get(), 0, nullptr, nullptr), 0)
            << cupsRasterErrorString();
        EXPECT_EQ(std::vector<unsigned>({h.cupsColorSpace, h.cupsColorOrder, h.cupsBitsPerColor,
                                         h.cupsBitsPerPixel, h.HWResolution[0], h.HWResolution[1]}),
                  std::vector<unsigned>({CUPS_CSPACE_RGB, CUPS_ORDER_CHUNKED, 8, 24, dpi, dpi}));
        if (choice == "Custom.40x80mm") {
          EXPECT_EQ(h.cupsWidth, static_cast<unsigned>(std::lround(40 * dpi / 25.4)));
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Driver, PpdFamily, ::testing::ValuesIn(kModels));

// The option label jobs run through the built filter and the 4-inch 203 dpi PPD.
struct Job {
  int line = 0;
  std::string options, expected;
  std::vector<quorvel::test::RasterPage> pages;
};

// "WxH l,t,r,b [copies] [collate]": a white page with a black box.
quorvel::test::RasterPage Page(const std::string& text) {
  quorvel::test::RasterPage page;
  uint32_t l = 0, t = 0, r = 0, b = 0;
  sscanf(text.c_str(), "%ux%u %u,%u,%u,%u %u", &page.width, &page.height, &l, &t, &r, &b,
         &page.copies);
  page.collate = text.find(" collate") != std::string::npos;
  page.fill = [=, w = page.width](uint32_t y, uint8_t* row, uint32_t bytes) {
    std::fill(row, row + bytes, uint8_t{255});
    for (uint32_t x = l; y >= t && y <= b && x <= r && x < w; ++x)
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 0;
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
         {"GAP", "BLINE", "OFFSET", "SIZE", "PRINT", "SET CUTTER", "BITMAP", "WARNING:"})
      if (line.rfind(keep, 0) == 0) out += line + "\n";
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
    if (line.rfind("job", 0) == 0)
      jobs.push_back({number, line.size() > 4 ? line.substr(4) : "", "", {}});
    else if (!jobs.empty() && line.rfind("page ", 0) == 0)
      jobs.back().pages.push_back(Page(line.substr(5)));
    else if (!jobs.empty())
      jobs.back().expected += line + "\n";
  }
  ASSERT_GT(jobs.size(), 10u) << "option_labels.txt missing or cut short";
  for (const Job& job : jobs) {
    quorvel::test::FilterRun run;
    run.args = quorvel::test::JobArgs(job.options);
    run.ppd = PpdPath({203, 104});
    run.stdinData = quorvel::test::RasterBytes(job.pages);
    const quorvel::test::RunResult r = quorvel::test::RunFilter(run);
    EXPECT_EQ(r.exitStatus, 0) << "option_labels.txt:" << job.line << "\n" << r.err;
    EXPECT_EQ(Commands(r.out, r.err), job.expected) << "option_labels.txt:" << job.line;
  }
}

}  // namespace
