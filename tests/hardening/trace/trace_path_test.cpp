// The trace path holding a directory, a FIFO or a link (dangling, or to a file that must stay
// untouched), and the QEVCP_TRACE switch, leave the job as it was; also the trace's size bound.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "tests/support/job_checks.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {
namespace {

constexpr const char* kStrace = "/usr/bin/strace";

// Moves the real trace file aside for the test and puts it back afterwards.
class TracePath : public testing::Test {
 protected:
  void SetUp() override { moved_ = rename(kTracePath, backup_.c_str()) == 0; }
  void TearDown() override {
    remove(kTracePath);  // a file, link, FIFO or empty directory
    if (moved_) rename(backup_.c_str(), kTracePath);
  }

  // A two-page job, QEVCP_TRACE set to `mode` unless empty; run under strace, which logs the
  // filter's opens and syncs to `syscalls`, when that is given.
  RunResult RunJob(const std::string& mode = "", const std::string& syscalls = "") {
    FilterRun run;
    if (!mode.empty()) run.env["QEVCP_TRACE"] = mode;
    if (!syscalls.empty()) {
      run.exe = kStrace;
      run.args = {"-f", "-qq",    "-e",       "trace=openat,open,fsync,fdatasync",
                  "-o", syscalls, FilterExe()};
#if defined(QEV_SANITIZE_ASAN)
      run.env["ASAN_OPTIONS"] = "detect_leaks=0";  // LeakSanitizer cannot run under a tracer
#endif
    }
    for (const std::string& arg : JobArgs()) run.args.push_back(arg);
    run.ppd = SamplePpd();
    RasterPage page;
    page.width = 40;
    page.height = 16;
    page.fill = GradientRgb();
    run.stdinData = RasterBytes({page, page});
    return RunFilter(run);
  }

  TempDir dir_;
  const std::string backup_ = std::string(kTracePath) + ".hardening-" + std::to_string(getpid());
  bool moved_ = false;
};

// Links are not followed: the victim stays as it was, a dangling link's target is not created.
TEST_F(TracePath, ObstaclesChangeNothingButTheTrace) {
  const std::string victim = dir_.file("victim"), absent = dir_.file("not-there");
  ASSERT_TRUE(WriteFile(victim, "keep me\n"));
  const std::pair<const char*, std::function<int()>> obstacles[] = {
      {"directory", [] { return mkdir(kTracePath, 0755); }},
      {"link to a file", [&] { return symlink(victim.c_str(), kTracePath); }},
      {"dangling link", [&] { return symlink(absent.c_str(), kTracePath); }},
      {"fifo", [] { return mkfifo(kTracePath, 0644); }}};
  const RunResult normal = RunJob();
  ASSERT_EQ(ReadTspl(normal.out).labels, 2);
  for (const auto& [name, plant] : obstacles) {
    SCOPED_TRACE(name);
    remove(kTracePath);
    ASSERT_EQ(plant(), 0);
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
  const RunResult durable = RunJob(), fast = RunJob("fast"), off = RunJob("off");
  for (const RunResult* r : {&durable, &fast, &off}) {
    ExpectCleanEnd(*r);
    EXPECT_TRUE(r->out == durable.out) << "the switch changed the TSPL";
  }
  const size_t records = trace.Messages(durable.pid).size();
  EXPECT_GT(records, 40u);
  EXPECT_EQ(trace.Messages(fast.pid).size(), records);
  EXPECT_TRUE(trace.Messages(off.pid).empty());

  if (access(kStrace, X_OK) != 0) GTEST_SKIP() << "no strace to watch the filter's system calls";
  auto calls = [&](const char* mode, const std::string& what) {
    const std::string log = dir_.file(std::string("syscalls-") + mode);
    EXPECT_EQ(RunJob(mode, log).exitStatus, 0) << mode;
    const std::string text = ReadFile(log);
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_GE(calls("durable", "fsync("), 2 * records) << "two syncs per record";
  EXPECT_EQ(calls("fast", "fsync("), 0u);
  EXPECT_GE(calls("fast", "qztspl.log\""), records) << "fast still writes the trace";
  EXPECT_EQ(calls("off", "qztspl"), 0u);
}

// A trace grown past 16 MiB is moved to ".1" when a job starts; the job's records all go to a
// fresh trace, so the two files together stay near 2 x 16 MiB.
TEST_F(TracePath, OversizeTraceIsMovedAside) {
  const std::string older = std::string(kTracePath) + ".1",
                    keep = older + ".hardening-" + std::to_string(getpid());
  const bool hadOlder = rename(older.c_str(), keep.c_str()) == 0;
  TraceLog trace;  // reads the new file from its start
  const std::string planted(17u << 20, 'x');
  ASSERT_TRUE(WriteFile(kTracePath, planted));
  const RunResult r = RunJob();
  const bool plantedFirst = ReadFile(older).compare(0, planted.size(), planted) == 0;
  const std::vector<std::string> m = trace.Messages(r.pid);
  const size_t fresh = ReadFile(kTracePath).size();
  unlink(older.c_str());
  if (hadOlder) rename(keep.c_str(), older.c_str());
  ExpectCleanEnd(r);
  EXPECT_TRUE(plantedFirst);  // others may have appended since; what was there moved whole
  EXPECT_LT(fresh, size_t{1} << 20);
  ASSERT_FALSE(m.empty());
  EXPECT_NE(m.front().find("Start"), std::string::npos) << "the job's first record: " << m.front();
}

}  // namespace
}  // namespace quorvel::test
