// Optional per-stage clock of the page pipeline, for benchmarks: when gStageTimes points at a
// record, every page adds the CPU time of each stage to it (thread CPU time, so that other
// processes on a busy machine do not count); when it is null nothing is measured.
#pragma once

#include <time.h>

namespace quorvel::render {

enum PipelineStage {
  kStageResolution,  // conversion to the printer resolution
  kStageConvert,     // conversion to cropped 8-bit gray (early or late)
  kStageRotate,      // automatic rotation
  kStageFit,         // scaling to the maximum output width
  kStageHalftone,    // dithering or adaptive threshold
  kStageDashes,      // solid lines to dashes
  kStageOutput,      // packing and writing the page's commands
  kStageCount
};

struct StageTimes {
  double seconds[kStageCount] = {};
  long pages = 0;
};

extern StageTimes* gStageTimes;  // borrowed; null switches the clock off

// CPU seconds used by the calling thread so far.
inline double ThreadCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Adds the CPU time from construction to destruction to one stage, when the clock is on.
class StageClock {
 public:
  explicit StageClock(PipelineStage stage) : stage_(stage) {
    if (gStageTimes) start_ = ThreadCpuSeconds();
  }
  ~StageClock() {
    if (gStageTimes) gStageTimes->seconds[stage_] += ThreadCpuSeconds() - start_;
  }
  StageClock(const StageClock&) = delete;
  StageClock& operator=(const StageClock&) = delete;

 private:
  PipelineStage stage_;
  double start_ = 0;
};

}  // namespace quorvel::render
