// Thread, mutex and semaphore wrappers of the log manager (see sync_helpers.h).
#include "logging/sync_helpers.h"

#include <errno.h>
#include <time.h>

#include <chrono>

namespace quorvel {
namespace vanta {

bool ThreadHelper::start() {
  if (started_) return false;
  if (pthread_create(&handle_, nullptr, &ThreadHelper::entry, this) != 0) return false;
  started_ = true;
  return true;
}

bool ThreadHelper::wait() {
  if (!started_) return false;
  pthread_join(handle_, nullptr);
  started_ = false;
  return true;
}

void* ThreadHelper::entry(void* self) {
  static_cast<ThreadHelper*>(self)->run();
  return nullptr;
}

SemHelper::~SemHelper() {
  if (created_) sem_destroy(&sem_);
}

bool SemHelper::create(unsigned int initial) {
  if (created_) {
    sem_destroy(&sem_);
    created_ = false;
  }
  created_ = sem_init(&sem_, 0, initial) == 0;
  return created_;
}

bool SemHelper::wait(int timeoutMs) {
  if (!created_) return false;
  if (timeoutMs <= 0) {
    while (sem_wait(&sem_) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }
  // Wait on the semaphore itself, so the caller goes on the moment it is posted; the
  // deadline is on the monotonic clock so a clock change cannot stretch it.
  struct timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += long(timeoutMs % 1000) * 1000 * 1000;
  if (deadline.tv_nsec >= 1000 * 1000 * 1000) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000 * 1000 * 1000;
  }
  for (;;) {
    if (sem_clockwait(&sem_, CLOCK_MONOTONIC, &deadline) == 0) return true;
    if (errno != EINTR) return false;  // ETIMEDOUT or a broken semaphore
  }
}

void WakeHelper::sleepUnless(int ms, const std::atomic<bool>& stay) {
  std::unique_lock<std::mutex> hold(mutex_);
  cond_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return !stay.load(); });
}

void WakeHelper::clearAndWake(std::atomic<bool>& stay) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stay.store(false);
  }
  cond_.notify_all();
}

bool SemHelper::post() { return created_ && sem_post(&sem_) == 0; }

}  // namespace vanta
}  // namespace quorvel
