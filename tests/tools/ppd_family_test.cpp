// Tests of the generated PPD family: each PPD opens in libcups and passes cupstestppd, every
// printer option the filter reads has the default a user expects, sizes have zero margins
// within the head, and every single choice keeps the raster format and resolution.
#include <cups/ppd.h>
#include <cups/raster.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "settings/ppd_lookup.h"
#include "tests/support/filter_runner.h"

namespace {

struct Model {
  const char* file;
  int dpi;
  int head_mm;
};

const Model kModels[] = {{"qevcp-tspl-4in-203dpi.ppd", 203, 104},
                         {"qevcp-tspl-4in-300dpi.ppd", 300, 104},
                         {"qevcp-tspl-2in-203dpi.ppd", 203, 54},
                         {"qevcp-tspl-2in-300dpi.ppd", 300, 54}};

void PrintTo(const Model& m, std::ostream* os) { *os << m.file; }

struct OptionSpec {
  const char* keyword;
  int default_value;  // as the filter's lookup returns it; -1: the head width in millimetres
};

// Every printer option the filter reads, with the default a user gets out of the box.
// clang-format off
const OptionSpec kOptions[] = {
    {"Mirror", 0}, {"NegativeFilm", 0}, {"Density", 1000}, {"HorizontalOffset", 0},
    {"VerticalOffset", 0}, {"Halftone", 1}, {"PrintMethod", 0}, {"MediaType", 1}, {"Mode", 3},
    {"CutMethod", 1}, {"Interval", 1}, {"MaxOutputWidth", -1}, {"IsToDashed", 0},
    {"MinLength", 10}, {"IntervalBlack", 1}, {"IntervalWhite", 1}, {"SavePaper", 0},
    {"PrintMode", 0}, {"PrintSpeed", 1000}, {"AutoRotate", 0}, {"FixedHeight", 0},
    {"StartOffsetValue", 0}, {"EndOffsetValue", 0}, {"Brightness", 100}, {"Contrast", 100},
    {"Feed", 0}, {"Rotation", 0}, {"Levels", 100}, {"HorizontalOffsetValue", 0},
    {"VerticalOffsetValue", 0}, {"GAPHeight", 3}, {"GAPOffset", 0}};
// clang-format on

std::string PpdPath(const Model& m) { return std::string(QEV_PPD_DIR) + "/" + m.file; }

class PpdFamily : public ::testing::TestWithParam<Model> {
 protected:
  void SetUp() override {
    ppd_.reset(ppdOpenFile(PpdPath(GetParam()).c_str()));
    ASSERT_NE(ppd_, nullptr) << PpdPath(GetParam()) << ": " << ppdErrorString(ppdLastError(&line_))
                             << " at line " << line_;
    ppdMarkDefaults(ppd_.get());
  }
  std::unique_ptr<ppd_file_t, void (*)(ppd_file_t*)> ppd_{nullptr, ppdClose};
  int line_ = 0;
};

TEST_P(PpdFamily, PassesCupstestppd) {
  // cupstestppd fails a PPD whose cupsFilter2 program is missing, so give it a root
  // directory that holds the filter.
  quorvel::test::TempDir root;
  const std::string dir = root.path() + "/usr/lib/cups/filter";
  ASSERT_EQ(
      std::system(
          ("mkdir -p " + dir + " && cp " + QEV_FILTER_EXE + " " + dir + "/rastertoqevcp").c_str()),
      0);
  const std::string cmd = "cupstestppd -R " + root.path() + " " + PpdPath(GetParam()) + " 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
  const int status = pclose(pipe);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) GTEST_SKIP() << "cupstestppd missing";
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find(": PASS"), std::string::npos) << out;
  EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
}

TEST_P(PpdFamily, FilterLookupsReadTheDefaults) {
  setenv("PPD", PpdPath(GetParam()).c_str(), 1);
  const char* dpi = GetPpdKeywordValue("OutputDPI");
  ASSERT_NE(dpi, nullptr);
  EXPECT_EQ(std::string(dpi), std::to_string(GetParam().dpi));
  // Whole numbers read alike as integers and as millimetres; the jobs of option_labels.txt
  // show that the choices a user picks reach the printer.
  for (const OptionSpec& spec : kOptions) {
    const int expected = spec.default_value == -1 ? GetParam().head_mm : spec.default_value;
    EXPECT_EQ(GetOptionChoiceIndexf(spec.keyword, ppd_.get()), float(expected)) << spec.keyword;
  }
}

TEST_P(PpdFamily, PrintPathAndSizes) {
  ppd_attr_t* filter = ppdFindAttr(ppd_.get(), "cupsFilter2", nullptr);
  ASSERT_NE(filter, nullptr);
  EXPECT_STREQ(filter->value,
               "application/vnd.cups-raster application/vnd.qevcp-tspl 0 rastertoqevcp");
  EXPECT_EQ(ppd_->manual_copies, 0) << "copies must reach the filter in NumCopies";
  EXPECT_TRUE(ppd_->variable_sizes);
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
  std::set<std::string> wanted = {"50x30mm", "40x30mm", "40x20mm", "30x20mm", "2x1in", "1x1in"};
  if (GetParam().head_mm == 104) {
    wanted.insert({"100x150mm", "100x100mm", "100x70mm", "100x50mm", "80x50mm", "60x40mm",
                   "57x32mm", "4x6in", "4x4in", "4x3in", "4x2in", "3x2in", "4x6.5in", "62x100mm",
                   "62x29mm", "2.25x1.25in"});
  }
  EXPECT_EQ(names, wanted);
}

TEST_P(PpdFamily, EveryChoiceKeepsTheRasterFormat) {
  // The raster filters run every marked code as PostScript while building the page header;
  // a code that broke the interpreter would silently turn the page into 1-bit black.
  const int dpi = GetParam().dpi;
  for (int g = 0; g < ppd_->num_groups; ++g) {
    for (int o = 0; o < ppd_->groups[g].num_options; ++o) {
      ppd_option_t& option = ppd_->groups[g].options[o];
      for (int c = 0; c < option.num_choices; ++c) {
        SCOPED_TRACE(std::string(option.keyword) + "=" + option.choices[c].choice);
        ppdMarkDefaults(ppd_.get());
        std::string choice = option.choices[c].choice;
        if (choice == "Custom") choice = "Custom.40x80mm";  // a custom size needs its size
        ppdMarkOption(ppd_.get(), option.keyword, choice.c_str());
        cups_page_header2_t header;
        ASSERT_EQ(cupsRasterInterpretPPD(&header, ppd_.get(), 0, nullptr, nullptr), 0)
            << cupsRasterErrorString();
        EXPECT_EQ(std::vector<unsigned>({header.cupsColorSpace, header.cupsColorOrder,
                                         header.cupsBitsPerColor, header.cupsBitsPerPixel,
                                         header.HWResolution[0], header.HWResolution[1]}),
                  std::vector<unsigned>(
                      {CUPS_CSPACE_RGB, CUPS_ORDER_CHUNKED, 8, 24, unsigned(dpi), unsigned(dpi)}));
        if (choice == "Custom.40x80mm") {
          EXPECT_EQ(header.cupsWidth, static_cast<unsigned>(std::lround(40 * dpi / 25.4)));
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Driver, PpdFamily, ::testing::ValuesIn(kModels));

}  // namespace
