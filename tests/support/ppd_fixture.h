// Test fixture for the print settings: writes a PPD into a private directory, names it in the
// "PPD" environment variable and opens it with libcups, marking its defaults and a job's
// options the way the job entry prepares the handle.
#pragma once

#include <cups/cups.h>
#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"
#include "tests/support/ppd_writer.h"

namespace quorvel::test {

class PpdFixture : public ::testing::Test {
 protected:
  ~PpdFixture() override {
    if (ppd_ != nullptr) ppdClose(ppd_);
    unsetenv("PPD");
  }

  void UsePpdText(const std::string& text) {  // writes the PPD and points "PPD" at it
    path_ = dir_.file("test.ppd");
    ASSERT_TRUE(WriteFile(path_, text));
    setenv("PPD", path_.c_str(), 1);
  }

  ppd_file_t* Open(const TestPpd& model, const std::string& job_options = "") {
    UsePpdText(PpdText(model));
    if (ppd_ != nullptr) ppdClose(ppd_);
    ppd_ = ppdOpenFile(path_.c_str());
    EXPECT_NE(ppd_, nullptr) << "libcups refused the test PPD";
    if (ppd_ == nullptr) return nullptr;
    ppdMarkDefaults(ppd_);
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(job_options.c_str(), 0, &options);
    cupsMarkOptions(ppd_, count, options);
    cupsFreeOptions(count, options);
    return ppd_;
  }

  ppd_file_t* OpenWith(const std::vector<PpdOption>& options, const std::string& job = "") {
    return Open({"203", options}, job);
  }

  TempDir dir_;
  std::string path_;
  ppd_file_t* ppd_ = nullptr;
};

}  // namespace quorvel::test
