// A sanitizer build whose filter is not really instrumented would pass its tests without
// proving anything: check that the built executable carries the sanitizer runtime.
#include <gtest/gtest.h>

#include "tests/support/filter_runner.h"

namespace quorvel::test {
namespace {

// With help=1 a sanitizer runtime lists its flags on standard error at start-up.
std::string SanitizerHelp(const char* variable) {
  FilterRun run;
  run.args = {"1"};  // a usage error: the filter itself does nothing
  run.env[variable] = "help=1";
  return RunFilter(run).err;
}

TEST(SanitizerBuild, FilterExecutableIsInstrumented) {
#if defined(QEV_SANITIZE_ASAN)
  EXPECT_NE(SanitizerHelp("ASAN_OPTIONS").find("Available flags for AddressSanitizer"),
            std::string::npos);
#elif defined(QEV_SANITIZE_TSAN)
  EXPECT_NE(SanitizerHelp("TSAN_OPTIONS").find("Available flags for ThreadSanitizer"),
            std::string::npos);
#else
  EXPECT_EQ(SanitizerHelp("ASAN_OPTIONS").find("Available flags"), std::string::npos);
  GTEST_SKIP() << "not a sanitizer build";
#endif
}

}  // namespace
}  // namespace quorvel::test
