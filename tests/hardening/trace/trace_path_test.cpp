// The trace file's path taken by something the filter cannot or must not write (a directory, a
// link, dangling or to a file that must stay untouched, a FIFO, a file of another owner): the
// job's TSPL is unchanged and nothing hangs. Also the QEVCP_TRACE switch and the size bound.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>

#include "tests/support/job_checks.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {
namespace {

// Moves the real trace file aside for the test and puts it back afterwards.
class TracePath : public testing::Test {
 protected:
  void SetUp() override {
    backup_ = std::string(kTracePath) + ".hardening-" + std::to_string(getpid());
    moved_ = rename(kTracePath, backup_.c_str()) == 0;
  }
  void TearDown() override {
    remove(kTracePath);  // a file, link, FIFO or empty directory
    if (moved_) rename(backup_.c_str(), kTracePath);
  }

  RunResult RunJob(const std::map<std::string, std::string>& env = {}, const std::string& exe = "",
                   const std::vector<std::string>& before = {}) {
    FilterRun run;
    run.env = env;
    if (!exe.empty()) {
      run.exe = exe;
      run.args = before;
      run.args.push_back(FilterExe());
    }
    const std::vector<std::string> job = JobArgs();
    run.args.insert(run.args.end(), job.begin(), job.end());
    run.ppd = SamplePpd();
    RasterPage page;
    page.width = 40;
    page.height = 16;
    page.fill = GradientRgb();
    run.stdinData = RasterBytes({page, page});
    return RunFilter(run);
  }

  TempDir dir_;
  std::string backup_;
  bool moved_ = false;
};

// Links are not followed: the victim stays as it was, a dangling link's target is not created.
TEST_F(TracePath, ObstaclesChangeNothingButTheTrace) {
  const std::string victim = dir_.file("victim"), absent = dir_.file("not-there");
  ASSERT_TRUE(WriteFile(victim, "keep me\n"));
  const std::pair<const char*, std::function<void()>> obstacles[] = {
      {"directory", [] { ASSERT_EQ(mkdir(kTracePath, 0755), 0); }},
      {"link to a file", [&] { ASSERT_EQ(symlink(victim.c_str(), kTracePath), 0); }},
      {"dangling link", [&] { ASSERT_EQ(symlink(absent.c_str(), kTracePath), 0); }},
      {"fifo", [] { ASSERT_EQ(mkfifo(kTracePath, 0644), 0); }},
      {"file of another owner", [] {
         ASSERT_TRUE(WriteFile(kTracePath, ""));
         ASSERT_EQ(chown(kTracePath, 65534, 65534), 0);  // nobody
         ASSERT_EQ(chmod(kTracePath, 0600), 0);
       }}};
  const RunResult normal = RunJob();
  ASSERT_EQ(ReadTspl(normal.out).labels, 2);
  for (const auto& [name, plant] : obstacles) {
    if (geteuid() != 0 && name == std::string("file of another owner")) continue;  // needs root
    SCOPED_TRACE(name);
    remove(kTracePath);
    plant();
    const RunResult r = RunJob();
    ExpectCleanEnd(r);
    EXPECT_TRUE(r.out == normal.out) << "the trace path changed the TSPL";
    EXPECT_EQ(r.err, normal.err);
  }
  EXPECT_EQ(ReadFile(victim), "keep me\n");
  EXPECT_NE(access(absent.c_str(), F_OK), 0);
}

// "fast" writes the same records as "durable" but never syncs; "off" does not even open the
// trace. Other processes may write the shared trace meanwhile, so the system calls of the
// filter itself are counted, with strace.
TEST_F(TracePath, TraceSwitch) {
  TraceLog trace;
  const RunResult durable = RunJob();
  const RunResult fast = RunJob({{"QEVCP_TRACE", "fast"}});
  const RunResult off = RunJob({{"QEVCP_TRACE", "off"}});
  for (const RunResult* r : {&durable, &fast, &off}) {
    ExpectCleanEnd(*r);
    EXPECT_TRUE(r->out == durable.out) << "the switch changed the TSPL";
  }
  const std::vector<std::string> records = trace.Messages(durable.pid);
  EXPECT_GT(records.size(), 40u);
  EXPECT_EQ(trace.Messages(fast.pid).size(), records.size());
  EXPECT_TRUE(trace.Messages(off.pid).empty());

  const char* strace = "/usr/bin/strace";
  if (access(strace, X_OK) != 0) GTEST_SKIP() << "no strace to watch the filter's system calls";
  auto calls = [&](const char* mode, const char* what) {
    const std::string log = dir_.file(std::string("syscalls-") + mode);
    std::map<std::string, std::string> env = {{"QEVCP_TRACE", mode}};
#if defined(QEV_SANITIZE_ASAN)
    env["ASAN_OPTIONS"] = "detect_leaks=0";  // LeakSanitizer cannot run under a tracer
#endif
    const RunResult r =
        RunJob(env, strace, {"-f", "-qq", "-e", "trace=openat,open,fsync,fdatasync", "-o", log});
    EXPECT_EQ(r.exitStatus, 0) << mode;
    size_t n = 0;
    const std::string text = ReadFile(log);
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_GE(calls("durable", "fsync("), 2 * records.size()) << "two syncs per record";
  EXPECT_EQ(calls("fast", "fsync("), 0u);
  EXPECT_GE(calls("fast", "qztspl.log\""), records.size()) << "fast still writes the trace";
  EXPECT_EQ(calls("off", "qztspl"), 0u);
}

// A trace grown past 16 MiB is moved to ".1" when a job starts; the job's records all go to a
// fresh trace, so the two files together stay near 2 x 16 MiB.
TEST_F(TracePath, OversizeTraceIsMovedAside) {
  const std::string older = std::string(kTracePath) + ".1";
  const std::string keep = older + ".hardening-" + std::to_string(getpid());
  const bool hadOlder = rename(older.c_str(), keep.c_str()) == 0;
  TraceLog trace;  // reads the new file from its start
  const std::string planted(17u << 20, 'x');
  ASSERT_TRUE(WriteFile(kTracePath, planted));
  const RunResult r = RunJob();
  const bool plantedFirst = ReadFile(older).compare(0, planted.size(), planted) == 0;
  const std::vector<std::string> m = trace.Messages(r.pid);
  const off_t fresh = ReadFile(kTracePath).size();
  unlink(older.c_str());
  if (hadOlder) rename(keep.c_str(), older.c_str());
  ExpectCleanEnd(r);
  EXPECT_TRUE(plantedFirst);  // others may have appended since; what was there moved whole
  EXPECT_LT(fresh, off_t(1) << 20);
  ASSERT_FALSE(m.empty());
  EXPECT_NE(m.front().find("Start"), std::string::npos) << "the job's first record: " << m.front();
}

}  // namespace
}  // namespace quorvel::test
