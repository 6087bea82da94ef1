// A sanitizer build whose filter is not really instrumented would pass its tests without
// proving anything: with help=1 a sanitizer runtime lists its flags at start-up.
#include <gtest/gtest.h>

#include "tests/support/filter_runner.h"

namespace quorvel::test {
namespace {

TEST(SanitizerBuild, FilterExecutableIsInstrumented) {
#if defined(QEV_SANITIZE_ASAN) || defined(QEV_SANITIZE_TSAN)
  FilterRun run;
  run.args = {"1"};  // a usage error: the filter itself does nothing
  run.env["ASAN_OPTIONS"] = run.env["TSAN_OPTIONS"] = "help=1";
  EXPECT_NE(RunFilter(run).err.find("Available flags for"), std::string::npos);
#else
  GTEST_SKIP() << "not a sanitizer build";
#endif
}

}  // namespace
}  // namespace quorvel::test
