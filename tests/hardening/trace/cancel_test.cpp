// SIGTERM at chosen moments of a long job, sent once the trace shows the page loop running (as
// CUPS cancels a job): status 0, the TSPL stops after a whole page, the page in the buffer is
// still printed and counted, and no page is started after the cancel.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/job_checks.h"
#include "tests/support/raster_writer.h"
#include "tests/support/trace_log.h"

namespace quorvel::test {
namespace {

class CancelAt : public testing::TestWithParam<int> {};

TEST_P(CancelAt, EndsCleanlyAfterAWholePage) {
  RasterPage page;
  page.width = 200;
  page.height = 120;
  page.fill = GradientRgb();
  TraceLog trace;
  FilterRun run;
  run.args = JobArgs();
  run.ppd = SamplePpd();
  FilterProcess proc(run);
  ASSERT_TRUE(proc.started());
  const std::string job = RasterBytes(std::vector<RasterPage>(400, page));
  std::thread feeder([&] { proc.Write(job); });
  const std::string firstPage = std::string(30, '*') + "Start Page 1 " + std::string(30, '*');
  auto looping = [&] {
    const std::vector<std::string> m = trace.Messages(proc.pid());
    return std::find(m.begin(), m.end(), firstPage) != m.end();
  };
  for (int i = 0; i < 4000 && !looping(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(GetParam()));
  const bool signalled = proc.Signal(SIGTERM);
  feeder.join();  // its write fails once the filter has gone; only then does Finish close stdin
  const RunResult r = proc.Finish(120000);
  ASSERT_TRUE(looping()) << "the page loop never started";
  ASSERT_TRUE(signalled);

  ExpectCleanEnd(r);
  const Tspl tspl = ReadTspl(r.out);
  EXPECT_TRUE(tspl.complete) << tspl.error;  // no page cut off in the middle
  EXPECT_GE(tspl.labels, 1);                 // the page in the buffer is still printed
  // Every page begun in the trace was printed; none was begun after the last one printed.
  int started = 0;
  for (const std::string& m : trace.Messages(r.pid))
    started += m.find("Start Page ") != std::string::npos;
  EXPECT_EQ(started, tspl.labels);
  EXPECT_EQ(std::count(r.pages.begin(), r.pages.end(), '\n'), tspl.labels) << "one PAGE line each";
}

INSTANTIATE_TEST_SUITE_P(Moments, CancelAt, testing::Values(0, 50, 1000));

}  // namespace
}  // namespace quorvel::test
