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
  const auto begin = std::chrono::steady_clock::now();
  for (;;) {
    struct timespec pause = {0, 50 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    if (sem_trywait(&sem_) == 0) return true;
    if (errno != EAGAIN && errno != EINTR) return false;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - begin);
    if (elapsed.count() > timeoutMs) return false;
  }
}

bool SemHelper::post() { return created_ && sem_post(&sem_) == 0; }

}  // namespace vanta
}  // namespace quorvel
