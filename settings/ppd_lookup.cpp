// Option choice lookups: the value of a printer option is carried by the code string of the
// choice that the job (or the PPD's default) selected, not by the choice's name.
#include "settings/ppd_lookup.h"

#include <cmath>
#include <cstdlib>
#include <limits>

const char* GetOptionChoiceCode(const char* keyword, ppd_file_t* ppd) {
  if (keyword == nullptr || ppd == nullptr) return nullptr;
  ppd_choice_t* choice = ppdFindMarkedChoice(ppd, keyword);
  if (choice != nullptr) return choice->code;
  ppd_option_t* option = ppdFindOption(ppd, keyword);
  if (option == nullptr) return nullptr;
  choice = ppdFindChoice(option, option->defchoice);
  if (choice == nullptr) return nullptr;
  return choice->code;
}

int32_t GetOptionChoiceIndex(const char* keyword, ppd_file_t* ppd) {
  const char* code = GetOptionChoiceCode(keyword, ppd);
  if (code == nullptr) return -1;
  // The low 32 bits, as the narrowing of the long result keeps them.
  return static_cast<int32_t>(static_cast<uint32_t>(strtol(code, nullptr, 10)));
}

float GetOptionChoiceIndexf(const char* keyword, ppd_file_t* ppd) {
  const char* code = GetOptionChoiceCode(keyword, ppd);
  if (code == nullptr) return -1.0f;
  double value = strtod(code, nullptr);
  // Beyond the float range the narrowing is undefined; give the infinity IEEE would give.
  if (std::fabs(value) > std::numeric_limits<float>::max()) {
    return std::signbit(value) ? -std::numeric_limits<float>::infinity()
                               : std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(value);
}
