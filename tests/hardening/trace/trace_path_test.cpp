// The trace file's path taken by something the filter cannot or must not write: a directory,
// a symbolic link (dangling or to another file, which must stay untouched), a FIFO and a
// file of another owner. The job's TSPL is the same as with a writable trace; nothing hangs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "hardening_util.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace qevtest {
namespace {

// Moves the real trace file aside for the test and puts it back afterwards.
class TracePath : public testing::Test {
 protected:
  void SetUp() override {
    backup_ = std::string(kTracePath) + ".hardening-" + std::to_string(getpid());
    moved_ = rename(kTracePath, backup_.c_str()) == 0;
  }
  void TearDown() override {
    struct stat st;
    if (lstat(kTracePath, &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        rmdir(kTracePath);
      } else {
        unlink(kTracePath);
      }
    }
    if (moved_) rename(backup_.c_str(), kTracePath);
  }

  RunResult RunJob() {
    FilterRun run;
    run.args = JobArgs();
    run.ppd = SamplePpd();
    RasterPage page;
    page.width = 40;
    page.height = 16;
    page.fill = GradientRgb();
    run.stdinData = RasterBytes({page, page});
    run.timeoutMs = 60000;
    return RunFilter(run);
  }

  // Runs the job with a writable trace, plants `plant` at the trace path, runs it again.
  void ExpectSameOutput(const std::function<void()>& plant) {
    const RunResult normal = RunJob();
    ASSERT_EQ(normal.exitStatus, 0);
    ASSERT_EQ(ReadTspl(normal.out).labels, 2);
    unlink(kTracePath);
    plant();
    const RunResult r = RunJob();
    ExpectCleanEnd(r);
    EXPECT_TRUE(r.out == normal.out) << "the trace path changed the TSPL";
    EXPECT_EQ(r.err, normal.err);
  }

  TempDir dir_;
  std::string backup_;
  bool moved_ = false;
};

TEST_F(TracePath, Directory) {
  ExpectSameOutput([] { ASSERT_EQ(mkdir(kTracePath, 0755), 0); });
  struct stat st;
  ASSERT_EQ(lstat(kTracePath, &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(TracePath, SymbolicLinkToAnotherFileIsNotFollowed) {
  const std::string victim = dir_.file("victim");
  ASSERT_TRUE(WriteFile(victim, "keep me\n"));
  ExpectSameOutput([&] { ASSERT_EQ(symlink(victim.c_str(), kTracePath), 0); });
  EXPECT_EQ(ReadFile(victim), "keep me\n");
}

TEST_F(TracePath, DanglingSymbolicLinkCreatesNothing) {
  const std::string target = dir_.file("not-there");
  ExpectSameOutput([&] { ASSERT_EQ(symlink(target.c_str(), kTracePath), 0); });
  EXPECT_NE(access(target.c_str(), F_OK), 0);
}

TEST_F(TracePath, FifoDoesNotBlock) {
  ExpectSameOutput([] { ASSERT_EQ(mkfifo(kTracePath, 0644), 0); });
}

TEST_F(TracePath, FileOfAnotherOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  ExpectSameOutput([] {
    ASSERT_TRUE(WriteFile(kTracePath, ""));
    ASSERT_EQ(chown(kTracePath, 65534, 65534), 0);  // nobody
    ASSERT_EQ(chmod(kTracePath, 0600), 0);
  });
}

}  // namespace
}  // namespace qevtest
