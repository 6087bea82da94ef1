// Option choice lookups against real PPD files opened and marked with libcups: the code
// string carries the value and the job's marked choice wins over the default (the integer and
// float readings of codes are rows of option_cases.txt).
#include "settings/ppd_lookup.h"

#include <gtest/gtest.h>

#include "tests/support/ppd_fixture.h"

namespace {

using quorvel::test::NumericOption;
using quorvel::test::PpdOption;

class PpdLookupTest : public quorvel::test::PpdFixture {
 protected:
  // Choice names that are numbers themselves, unlike their codes, show which one is read.
  ppd_file_t* OpenStandard(const std::string& job = "") {
    return OpenWith(
        {NumericOption("Density", "8", {"0", "8", "15"}, "D"),
         PpdOption{"Named", "3", {{"3", "7"}, {"5", "9"}}}, PpdOption{"Lead", "L", {{"L", "  12"}}},
         NumericOption("Frac", "2.5", {"2.5", "-1.5"})},
        job);
  }
};

TEST_F(PpdLookupTest, CodeOfMarkedOrDefaultChoice) {
  ppd_file_t* ppd = OpenStandard();
  ASSERT_NE(ppd, nullptr);
  EXPECT_STREQ(GetOptionChoiceCode("Named", ppd), "7");  // the code, not the name "3"
  EXPECT_EQ(GetOptionChoiceCode("Absent", ppd), nullptr);
  EXPECT_EQ(GetOptionChoiceCode(nullptr, ppd), nullptr);
  EXPECT_EQ(GetOptionChoiceCode("Density", nullptr), nullptr);
  ppdMarkOption(ppd, "Density", "D15");  // a choice marked later takes over
  EXPECT_EQ(GetOptionChoiceIndex("Density", ppd), 15);

  ppd = OpenStandard("Named=5 Frac=Vm1p5");  // the job's options
  ASSERT_NE(ppd, nullptr);
  EXPECT_EQ(GetOptionChoiceIndex("Named", ppd), 9);
  EXPECT_EQ(GetOptionChoiceIndexf("Frac", ppd), -1.5f);
  EXPECT_EQ(GetOptionChoiceIndex("Lead", ppd), 12);  // a leading space is allowed
  EXPECT_EQ(GetOptionChoiceIndex(nullptr, ppd), -1);
  EXPECT_EQ(GetOptionChoiceIndexf("Frac", nullptr), -1.0f);

  ppd_file_t* unmarked = ppdOpenFile(path_.c_str());  // nothing marked: the default choice
  ASSERT_NE(unmarked, nullptr);
  EXPECT_EQ(GetOptionChoiceIndex("Density", unmarked), 8);
  ppdClose(unmarked);
}

}  // namespace
