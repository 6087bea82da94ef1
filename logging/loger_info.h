// One logger slot of the log manager (also the value type of a parsed configuration section).
// Fields read by logging threads without the write lock are relaxed atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <list>
#include <string>
#include <utility>

#include "logging/vanta_file.h"

namespace quorvel {
namespace vanta {

// A relaxed atomic that can still be copied, so LoggerInfo stays a plain value type.
template <typename T>
class SharedValue {
 public:
  SharedValue(T value = T()) : value_(value) {}  // NOLINT: implicit on purpose
  SharedValue(const SharedValue& other) : value_(other.load()) {}
  SharedValue& operator=(const SharedValue& other) {
    value_.store(other.load(), std::memory_order_relaxed);
    return *this;
  }
  SharedValue& operator=(T value) {
    value_.store(value, std::memory_order_relaxed);
    return *this;
  }
  operator T() const { return load(); }  // NOLINT: implicit on purpose
  T load() const { return value_.load(std::memory_order_relaxed); }

 private:
  std::atomic<T> value_;
};

constexpr uint32_t kDefaultLimitMegabytes = 100;

struct LoggerInfo {
  std::string key;
  std::string name;
  std::string path = "./log/";
  SharedValue<int32_t> level = 1;
  SharedValue<bool> display = true;
  SharedValue<bool> outfile = true;
  bool monthdir = false;
  uint32_t limitsize = kDefaultLimitMegabytes;
  SharedValue<bool> enable = false;
  SharedValue<bool> fileline = true;
  int64_t reserve = 0;
  // The rest is file state, touched only under the manager's write lock.
  int64_t fileCreateTime = 0;
  int64_t fileCreateDay = 0;
  uint32_t fileIndex = 0;
  uint32_t fileSize = 0;
  VantaFileHandler file;
  std::list<std::pair<time_t, std::string>> history;
};

}  // namespace vanta
}  // namespace quorvel
