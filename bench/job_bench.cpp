// Whole-job benchmarks: 100-label and one-label 4 x 6 inch jobs at 203 and 300 dpi, with
// threshold, Floyd-Steinberg and Auto halftoning. FilterJob runs the built filter as CUPS does and
// the libcups read-only floor beside it; ReadOnly is the filter's own page read in this
// process; Render times the page pipeline in this process, without the trace, stage by stage.
// Paths: QEV_FILTER_EXE, QEV_FLOOR_EXE, QEV_BENCH_PPD_DIR, QEV_BENCH_DIR (rasters; default
// /var/tmp/qev-bench), each defaulting to the build tree around this executable; runs per
// job: QEV_BENCH_RUNS (3). bench/job_bench.sh runs it all.
#include <benchmark/benchmark.h>
#include <cups/ppd.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "filter/raster_source.h"
#include "filter/rastoqevtspl.h"
#include "imaging/auto_halftone.h"
#include "job/records.h"
#include "render/stage_timing.h"
#include "render/tspl_render.h"
#include "settings/print_settings.h"

extern char** environ;

// The PPD API is deprecated in libcups but is what the filter itself uses.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

constexpr int kPages = 100;

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = getenv(name);
  return v && *v ? v : fallback;
}

// The build tree: this executable lives in <build>/bench.
std::string BuildDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string exe = n > 0 ? std::string(buf, n) : "./qev_bench";
  exe = exe.substr(0, exe.rfind('/'));
  return exe.substr(0, exe.rfind('/'));
}

std::string FilterExe() { return EnvOr("QEV_FILTER_EXE", BuildDir() + "/rastertoqevcp"); }
std::string PpdPath(int dpi) {
  return EnvOr("QEV_BENCH_PPD_DIR", BuildDir() + "/ppd/generated") + "/qevcp-tspl-4in-" +
         std::to_string(dpi) + "dpi.ppd";
}

const char* HalftoneOption(int method) {
  if (method == kHalftoneAuto) return "Halftone=Auto";
  return method == 2 ? "Halftone=FloydSteinberg" : "Halftone=Threshold";
}

// Runs `argv` with stdout and stderr on /dev/null; returns the exit status, or -1.
int Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
          struct rusage* usage = nullptr) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envStrings(extraEnv);
  for (char** e = environ; *e; ++e) envStrings.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  struct rusage ru;
  if (wait4(pid, &status, 0, &ru) != pid) return -1;
  if (usage) *usage = ru;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The 100-page job at `dpi`, made once by the sample generator.
std::string RasterPath(int dpi, int pages = kPages) {
  const std::string dir = EnvOr("QEV_BENCH_DIR", "/var/tmp/qev-bench");
  mkdir(dir.c_str(), 0755);
  const std::string path =
      dir + "/label-" + std::to_string(dpi) + "dpi-" + std::to_string(pages) + ".ras";
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || st.st_size == 0) {
    Spawn({BuildDir() + "/samples/make_sample_label", path, std::to_string(pages),
           std::to_string(dpi)},
          {});
  }
  return path;
}

std::string FloorExe() { return EnvOr("QEV_FLOOR_EXE", BuildDir() + "/bench/qev_raster_floor"); }

int RunsPerJob() {
  return std::max(1,
                  static_cast<int>(std::strtol(EnvOr("QEV_BENCH_RUNS", "3").c_str(), nullptr, 10)));
}

struct ProcessCost {
  double wall = 0, cpu = 0;  // seconds, summed over runs
  long maxRssKb = 0;
  void Add(double seconds, const struct rusage& ru) {
    wall += seconds;
    cpu += ru.ru_utime.tv_sec + ru.ru_utime.tv_usec * 1e-6 + ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec * 1e-6;
    maxRssKb = std::max(maxRssKb, ru.ru_maxrss);
  }
};

// One timed run of `args`; false when it did not exit with status 0.
bool TimedRun(const std::vector<std::string>& args, const std::vector<std::string>& env,
              ProcessCost* cost, double* seconds) {
  struct rusage ru {};
  const auto start = std::chrono::steady_clock::now();
  const int rc = Spawn(args, env, &ru);
  const std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
  if (rc != 0) return false;
  cost->Add(d.count(), ru);
  *seconds = d.count();
  return true;
}

// The filter as CUPS runs it (a new process per job, the trace in /tmp/qztspl.log, the
// QEVCP_TRACE mode inherited from the environment), each run next to a run of the libcups
// read-only floor on the same raster, so that every figure also comes as a ratio to the floor
// measured in the same conditions.
void BM_FilterJob(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  const int method = static_cast<int>(state.range(1));
  const int labels = static_cast<int>(state.range(2));
  const std::string raster = RasterPath(dpi, labels);
  const std::vector<std::string> args = {
      FilterExe(), "1", "bench", "job", "1", HalftoneOption(method), raster};
  const std::vector<std::string> env = {"PPD=" + PpdPath(dpi)};
  ProcessCost filter, floor;
  for (auto _ : state) {
    double seconds = 0, ignored = 0;
    if (!TimedRun({FloorExe(), raster}, {}, &floor, &ignored)) {
      state.SkipWithError("the floor did not run (build qev_raster_floor, samples)");
      return;
    }
    if (!TimedRun(args, env, &filter, &seconds)) {
      state.SkipWithError("the filter did not run (build rastertoqevcp, the PPDs, samples)");
      return;
    }
    state.SetIterationTime(seconds);
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["labels_per_s"] = labels * runs / filter.wall;
  state.counters["job_ms"] = 1000.0 * filter.wall / runs;
  state.counters["cpu_ms_per_label"] = 1000.0 * filter.cpu / (labels * runs);
  state.counters["maxrss_MiB"] = filter.maxRssKb / 1024.0;
  state.counters["wall_x_floor"] = filter.wall / floor.wall;
  state.counters["cpu_x_floor"] = filter.cpu / floor.cpu;
  state.counters["rss_x_floor"] = static_cast<double>(filter.maxRssKb) / floor.maxRssKb;
}
void FilterJobArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"dpi", "halftone", "labels"});
  for (int labels : {kPages, 1}) {
    for (int dpi : {203, 300}) {
      for (int method : {1, 2, kHalftoneAuto}) b->Args({dpi, method, labels});
    }
  }
}
BENCHMARK(BM_FilterJob)
    ->Apply(FilterJobArgs)
    ->UseManualTime()
    ->Iterations(RunsPerJob())
    ->Unit(benchmark::kMillisecond);

// Standard output goes to /dev/null while a job renders in this process.
class QuietStdout {
 public:
  QuietStdout() {
    fflush(stdout);
    saved_ = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~QuietStdout() {
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
  }

 private:
  int saved_;
};

struct InProcessTimes {
  double readSeconds = 0;
  double renderSeconds = 0;
  int pages = 0;
};

// The page loop of the filter in this process (no trace: the log is not started): every page
// is read with GetPrintData and, when `render` is set, rendered with TransCommand. Times are
// the thread's CPU time, so that other work on the machine does not count.
bool RunInProcess(int dpi, int method, bool render, InProcessTimes* times) {
  const std::string ppdPath = PpdPath(dpi);
  ppd_file_t* ppd = ppdOpenFile(ppdPath.c_str());
  const int fd = open(RasterPath(dpi).c_str(), O_RDONLY);
  if (!ppd || fd < 0) {
    if (ppd) ppdClose(ppd);
    if (fd >= 0) close(fd);
    return false;
  }
  InitializeSetting(HalftoneOption(method), ppd);
  cups_raster_t* raster = OpenCountedRaster(fd);  // as the filter opens it
  CTSPLRenderClass renderer;
  cups_page_header2_t header;
  QuietStdout quiet;
  int page = 0;
  while (cupsRasterReadHeader2(raster, &header)) {
    ++page;
    if (page == 1) InitPrintSetting(1, ppd, &header, &renderer);
    const double t0 = quorvel::render::ThreadCpuSeconds();
    GetPrintData(&header, raster, page);
    const double t1 = quorvel::render::ThreadCpuSeconds();
    times->readSeconds += t1 - t0;
    if (render && gOemPDev.pBufStart) {
      gOemPDev.dwCurPageNum = static_cast<uint32_t>(page);
      renderer.TransCommand(page == kPages);
      times->renderSeconds += quorvel::render::ThreadCpuSeconds() - t1;
    }
    free(gOemPDev.pBufStart);
    gOemPDev.pBufStart = nullptr;
  }
  times->pages += page;
  ForgetCountedRaster(raster);
  cupsRasterClose(raster);
  close(fd);
  ppdClose(ppd);
  return page > 0;
}

// The floor: the raster read alone.
void BM_ReadOnly(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  InProcessTimes times;
  for (auto _ : state) {
    InProcessTimes one;
    if (!RunInProcess(dpi, 1, false, &one)) {
      state.SkipWithError("no PPD or raster (run bench/job_bench.sh)");
      return;
    }
    state.SetIterationTime(one.readSeconds);
    times.readSeconds += one.readSeconds;
    times.pages += one.pages;
  }
  state.counters["pages_per_s"] = times.pages / times.readSeconds;
  state.counters["read_ms_per_page"] = 1000.0 * times.readSeconds / times.pages;
}
BENCHMARK(BM_ReadOnly)
    ->Arg(203)
    ->Arg(300)
    ->ArgName("dpi")
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Rendering without the trace, per stage, and its ratio to the raster read.
void BM_Render(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  const int method = static_cast<int>(state.range(1));
  quorvel::render::StageTimes stages;
  InProcessTimes times;
  quorvel::render::gStageTimes = &stages;
  for (auto _ : state) {
    InProcessTimes one;
    if (!RunInProcess(dpi, method, true, &one)) {
      quorvel::render::gStageTimes = nullptr;
      state.SkipWithError("no PPD or raster (run bench/job_bench.sh)");
      return;
    }
    state.SetIterationTime(one.renderSeconds);
    times.readSeconds += one.readSeconds;
    times.renderSeconds += one.renderSeconds;
    times.pages += one.pages;
  }
  quorvel::render::gStageTimes = nullptr;
  const double pages = times.pages;
  state.counters["pages_per_s"] = pages / times.renderSeconds;
  state.counters["render_over_read"] = times.renderSeconds / times.readSeconds;
  static const char* const kNames[] = {"ms_resolution", "ms_convert", "ms_rotate", "ms_fit",
                                       "ms_halftone",   "ms_dashes",  "ms_output"};
  double staged = 0;
  for (int s = 0; s < quorvel::render::kStageCount; ++s) {
    state.counters[kNames[s]] = 1000.0 * stages.seconds[s] / pages;
    staged += stages.seconds[s];
  }
  state.counters["ms_other"] = 1000.0 * (times.renderSeconds - staged) / pages;
}
BENCHMARK(BM_Render)
    ->ArgsProduct({{203, 300}, {1, 2, kHalftoneAuto}})
    ->ArgNames({"dpi", "halftone"})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
