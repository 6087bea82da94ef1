// Optional per-stage clock of the page pipeline, for benchmarks: when gStageTimes points at a
// record, every page adds the time of each stage to it; when it is null nothing is measured.
#pragma once

#include <chrono>

namespace qevrender {

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

// Adds the time from construction to destruction to one stage, when the clock is on.
class StageClock {
 public:
  explicit StageClock(PipelineStage stage) : stage_(stage) {
    if (gStageTimes) start_ = std::chrono::steady_clock::now();
  }
  ~StageClock() {
    if (gStageTimes) {
      const std::chrono::duration<double> d = std::chrono::steady_clock::now() - start_;
      gStageTimes->seconds[stage_] += d.count();
    }
  }
  StageClock(const StageClock&) = delete;
  StageClock& operator=(const StageClock&) = delete;

 private:
  PipelineStage stage_;
  std::chrono::steady_clock::time_point start_{};
};

}  // namespace qevrender
