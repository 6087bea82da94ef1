// Fuzz target: the plain-keyword scanner (GetPpdKeywordValue) on arbitrary PPD text, read
// from the file named by PPD as the filter does. Every found value must be a readable text.
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "settings/ppd_lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel::fuzz::MemFile ppd(data, size);
  if (!ppd.ok()) return 0;
  setenv("PPD", ppd.path.c_str(), 1);
  // The filter's own keyword, a header keyword and one that is never found.
  for (const char* keyword : {"OutputDPI", "ModelName", "NoSuchKeyword", ""}) {
    const char* value = GetPpdKeywordValue(keyword);
    if (value && strlen(value) > size) abort();  // a value can only come from the text
  }
  unsetenv("PPD");
  return 0;
}
