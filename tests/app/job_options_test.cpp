// The halftone a job gets from print-content-optimize and the "halftone" attribute, on a
// PPD with and without the automatic choice: the user's choice wins, then the content
// table's first choice the PPD offers, then the PPD's automatic choice or its default.
#include "app/job_options.h"

#include <gtest/gtest.h>

#include <string>

namespace {

PpdModel Model(bool withAuto) {
  PpdModel model;
  PpdOptionChoices halftone;
  halftone.choices = {"Threshold", "FloydSteinberg", "Adaptive", "Stucki", "Clustered"};
  if (withAuto) halftone.choices.push_back("Auto");
  halftone.defaultChoice = "Threshold";
  model.options["Halftone"] = halftone;
  return model;
}

// The Halftone choice in the option string, or "" when it sets none.
std::string HalftoneOf(const std::string& options) {
  size_t at = options.find("Halftone=");
  if (at == std::string::npos) return "";
  size_t end = options.find(' ', at);
  return options.substr(at + 9, end == std::string::npos ? std::string::npos : end - at - 9);
}

TEST(JobOptions, HalftoneFromContentAndChoice) {
  struct Row {
    const char* content;
    const char* halftone;  // the job's "halftone" attribute, "" for none
    bool ppdHasAuto;
    const char* expected;  // "" = no Halftone option, the PPD default holds
  } rows[] = {
      {"text", "", false, "Threshold"},
      {"photo", "", false, "FloydSteinberg"},
      {"graphic", "", false, "Clustered"},
      {"text-and-graphic", "", false, "Adaptive"},
      {"text-and-graphic", "", true, "Auto"},
      {"auto", "", false, ""},
      {"auto", "", true, "Auto"},
      {"", "", true, "Auto"},                       // no print-content-optimize at all
      {"photo", "stucki", true, "Stucki"},          // the user's choice wins
      {"text", "auto", true, "Threshold"},          // "auto" leaves it to the content
      {"photo", "bogus", false, "FloydSteinberg"},  // an unknown choice is ignored
  };
  for (const Row& row : rows) {
    JobSettings job;
    job.contentOptimize = row.content;
    if (*row.halftone) job.vendor["halftone"] = row.halftone;
    EXPECT_EQ(HalftoneOf(BuildFilterOptions(job, Model(row.ppdHasAuto))), row.expected)
        << "content " << row.content << ", halftone " << row.halftone << ", Auto "
        << row.ppdHasAuto;
  }
}

}  // namespace
