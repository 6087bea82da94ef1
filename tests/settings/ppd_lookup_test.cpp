// Option choice lookups against real PPD files opened with libcups: the code string carries
// the value, the job's marked choice wins over the default, and an unmarked PPD gives its
// default (the integer and float readings of codes are rows of option_cases.txt).
#include "settings/ppd_lookup.h"

#include <gtest/gtest.h>

#include "tests/support/ppd_fixture.h"

namespace {

using PpdLookupTest = quorvel::test::PpdFixture;

TEST_F(PpdLookupTest, CodeOfMarkedOrDefaultChoice) {
  // Choice names that are numbers themselves, unlike their codes, show which one is read.
  ppd_file_t* ppd = OpenWith({quorvel::test::NumericOption("Density", "8", {"0", "8", "15"}, "D"),
                              {"Named", "3", {{"3", "7"}, {"5", "9"}}},
                              {"Lead", "L", {{"L", "  12"}}}},
                             "Named=5");
  ASSERT_NE(ppd, nullptr);
  EXPECT_EQ(GetOptionChoiceIndex("Named", ppd), 9);  // the job's choice 5, by its code
  EXPECT_EQ(GetOptionChoiceIndex("Lead", ppd), 12);  // a leading space is allowed
  EXPECT_EQ(GetOptionChoiceCode("Absent", ppd), nullptr);
  EXPECT_EQ(GetOptionChoiceIndex(nullptr, ppd), -1);
  EXPECT_EQ(GetOptionChoiceIndexf("Named", nullptr), -1.0f);

  ppd_file_t* unmarked = ppdOpenFile(path_.c_str());  // nothing marked: the default choice
  ASSERT_NE(unmarked, nullptr);
  EXPECT_STREQ(GetOptionChoiceCode("Named", unmarked), "7");  // the default 3's code
  EXPECT_EQ(GetOptionChoiceIndex("Density", unmarked), 8);
  ppdClose(unmarked);
}

}  // namespace
