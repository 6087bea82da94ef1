// Option choice lookups against real PPD files opened and marked with libcups: the code
// string carries the value, the job's marked choice wins over the default, and the integer
// and float readings of the code.
#include "settings/ppd_lookup.h"

#include <gtest/gtest.h>

#include <cmath>

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
         PpdOption{"Named", "3", {{"3", "7"}, {"5", "9"}}}, NumericOption("Minus", "-1", {"-1"}),
         PpdOption{"Word", "W", {{"W", "abc"}}}, NumericOption("Frac", "2.5", {"2.5", "-1.5"}),
         PpdOption{"Lead", "L", {{"L", "  12xyz"}}}, PpdOption{"Huge", "H", {{"H", "1e300"}}}},
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

  ppd_file_t* unmarked = ppdOpenFile(path_.c_str());  // nothing marked: the default choice
  ASSERT_NE(unmarked, nullptr);
  EXPECT_EQ(GetOptionChoiceIndex("Density", unmarked), 8);
  ppdClose(unmarked);
}

TEST_F(PpdLookupTest, IntegerAndFloatReadings) {
  ppd_file_t* ppd = OpenStandard();
  ASSERT_NE(ppd, nullptr);
  const struct {
    const char* keyword;
    int32_t integer;
    float real;
  } cases[] = {
      {"Minus", -1, -1.0f}, {"Absent", -1, -1.0f},  // "-1" reads exactly like an absent option
      {"Word", 0, 0.0f},    {"Frac", 2, 2.5f},      // not a number: 0; fractions truncated
      {"Lead", 12, 12.0f},                          // leading space allowed, stops at "x"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetOptionChoiceIndex(c.keyword, ppd), c.integer) << c.keyword;
    EXPECT_EQ(GetOptionChoiceIndexf(c.keyword, ppd), c.real) << c.keyword;
  }
  // Beyond the float range: an infinity, without an undefined narrowing.
  EXPECT_TRUE(std::isinf(GetOptionChoiceIndexf("Huge", ppd)));
  EXPECT_EQ(GetOptionChoiceIndex(nullptr, ppd), -1);
  EXPECT_EQ(GetOptionChoiceIndexf("Frac", nullptr), -1.0f);
}

}  // namespace
