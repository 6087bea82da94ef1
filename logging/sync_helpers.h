// Thin wrappers over the POSIX thread, mutex and unnamed semaphore used by the log manager.
// They report failures by results (the manager must never throw from a log statement).
#pragma once

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace quorvel {
namespace vanta {

// Owns one thread whose body is the virtual run() of the derived class.
class ThreadHelper {
 public:
  ThreadHelper() = default;
  ThreadHelper(const ThreadHelper&) = delete;
  ThreadHelper& operator=(const ThreadHelper&) = delete;
  virtual ~ThreadHelper() = default;

  // Creates the thread; false if it could not be created or one is already live.
  bool start();
  // Joins the thread if one was started; true when a thread was joined.
  bool wait();
  bool isStarted() const { return started_; }

 protected:
  virtual void run() = 0;

 private:
  static void* entry(void* self);

  pthread_t handle_{};
  bool started_ = false;
};

// A non-recursive mutex.
class LockHelper {
 public:
  LockHelper() = default;
  LockHelper(const LockHelper&) = delete;
  LockHelper& operator=(const LockHelper&) = delete;
  virtual ~LockHelper() = default;

  void lock() { mutex_.lock(); }
  void unLock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// Holds a LockHelper for one scope, so that early returns cannot leave it locked.
class ScopedLock {
 public:
  explicit ScopedLock(LockHelper& lock) : lock_(lock) { lock_.lock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;
  ~ScopedLock() { lock_.unLock(); }

 private:
  LockHelper& lock_;
};

// An unnamed counting semaphore; destroyed only if create() succeeded.
class SemHelper {
 public:
  SemHelper() = default;
  SemHelper(const SemHelper&) = delete;
  SemHelper& operator=(const SemHelper&) = delete;
  virtual ~SemHelper();

  // (Re)creates the semaphore with the given count; false on failure.
  bool create(unsigned int initial);
  // timeoutMs <= 0 blocks; otherwise waits at most timeoutMs milliseconds for a post.
  bool wait(int timeoutMs);
  bool post();
  bool isCreated() const { return created_; }

 private:
  sem_t sem_{};
  bool created_ = false;
};

// A pause that another thread can cut short: the sleeper waits until the time is up or the
// flag it watches goes false, whichever comes first.
class WakeHelper {
 public:
  // Sleeps up to `ms` milliseconds while `stay` is true.
  void sleepUnless(int ms, const std::atomic<bool>& stay);
  // Sets `stay` to false and wakes the sleeper at once (no wake-up can be missed in between).
  void clearAndWake(std::atomic<bool>& stay);

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
};

}  // namespace vanta
}  // namespace quorvel
