// Option choice lookups against real PPD files opened and marked with libcups: the code
// string carries the value, the job's marked choice wins over the default, and the integer
// and float readings of the code.
#include "settings/ppd_lookup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/settings/ppd_fixture.h"

namespace {

using qevtest::NumericOption;
using qevtest::PpdFixture;
using qevtest::PpdOption;

class PpdLookupTest : public PpdFixture {
 protected:
  ppd_file_t* OpenStandard(const std::string& job = "") {
    // Choice names that are numbers themselves, different from their codes, show which one
    // is read.
    PpdOption named{"Named", "3", {{"3", "7"}, {"5", "9"}}};
    return OpenWith(
        {NumericOption("Density", "8", {"0", "8", "15"}, "D"), named,
         NumericOption("Minus", "-1", {"-1", "4"}), PpdOption{"Word", "W", {{"W", "abc"}}},
         NumericOption("Frac", "2.5", {"2.5", "-1.5"}), PpdOption{"Lead", "L", {{"L", "  12xyz"}}},
         PpdOption{"Huge", "H", {{"H", "1e300"}}}},
        job);
  }
};

TEST_F(PpdLookupTest, CodeOfMarkedOrDefaultChoice) {
  ppd_file_t* ppd = OpenStandard();
  ASSERT_NE(ppd, nullptr);
  EXPECT_STREQ(GetOptionChoiceCode("Density", ppd), "8");
  EXPECT_EQ(GetOptionChoiceIndex("Density", ppd), 8);
  EXPECT_STREQ(GetOptionChoiceCode("Named", ppd), "7");  // the code wins over the name "3"
  EXPECT_EQ(GetOptionChoiceCode("Absent", ppd), nullptr);
  EXPECT_EQ(GetOptionChoiceCode(nullptr, ppd), nullptr);
  EXPECT_EQ(GetOptionChoiceCode("Density", nullptr), nullptr);

  // A choice marked later takes over.
  ppdMarkOption(ppd, "Density", "D15");
  EXPECT_EQ(GetOptionChoiceIndex("Density", ppd), 15);
}

TEST_F(PpdLookupTest, JobOptionsMarkAnotherChoice) {
  ppd_file_t* ppd = OpenStandard("Density=D15 Named=5 Frac=Vm1p5");
  ASSERT_NE(ppd, nullptr);
  EXPECT_EQ(GetOptionChoiceIndex("Density", ppd), 15);
  EXPECT_EQ(GetOptionChoiceIndex("Named", ppd), 9);
  EXPECT_EQ(GetOptionChoiceIndexf("Frac", ppd), -1.5f);
}

TEST_F(PpdLookupTest, DefaultChoiceWhenNothingIsMarked) {
  UsePpdText(qevtest::PpdText([] {
    qevtest::PpdSpec spec;
    spec.options = {NumericOption("Density", "8", {"0", "8", "15"}, "D")};
    return spec;
  }()));
  ppd_file_t* ppd = ppdOpenFile(path_.c_str());  // opened but never marked
  ASSERT_NE(ppd, nullptr);
  EXPECT_EQ(GetOptionChoiceIndex("Density", ppd), 8);
  ppdClose(ppd);
}

TEST_F(PpdLookupTest, IntegerAndFloatReadings) {
  ppd_file_t* ppd = OpenStandard();
  ASSERT_NE(ppd, nullptr);
  // "-1" reads exactly like an absent option.
  EXPECT_EQ(GetOptionChoiceIndex("Minus", ppd), -1);
  EXPECT_EQ(GetOptionChoiceIndex("Absent", ppd), -1);
  EXPECT_EQ(GetOptionChoiceIndexf("Minus", ppd), -1.0f);
  EXPECT_EQ(GetOptionChoiceIndexf("Absent", ppd), -1.0f);
  // Not a number: 0.
  EXPECT_EQ(GetOptionChoiceIndex("Word", ppd), 0);
  EXPECT_EQ(GetOptionChoiceIndexf("Word", ppd), 0.0f);
  // A fraction: truncated by the integer reading.
  EXPECT_EQ(GetOptionChoiceIndex("Frac", ppd), 2);
  EXPECT_EQ(GetOptionChoiceIndexf("Frac", ppd), 2.5f);
  // Leading white space is allowed and reading stops at the first non-digit.
  EXPECT_EQ(GetOptionChoiceIndex("Lead", ppd), 12);
  // Beyond the float range: an infinity, without an undefined narrowing.
  EXPECT_TRUE(std::isinf(GetOptionChoiceIndexf("Huge", ppd)));
  EXPECT_EQ(GetOptionChoiceIndex(nullptr, ppd), -1);
  EXPECT_EQ(GetOptionChoiceIndexf("Frac", nullptr), -1.0f);
}

}  // namespace
