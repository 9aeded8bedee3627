#pragma once
// Clang's thread-safety annotations, and a mutex and lock that carry them, so the compiler checks
// which data a mutex guards. Under clang with -Wthread-safety (scripts/run-tidy.sh and
// scripts/check-thread-safety.sh) an access without the mutex held is a warning; under GCC the
// annotations are empty and Mutex is a plain std::mutex.
//
// Threads: a Mutex is shared by the threads it serialises; a MutexLock belongs to the thread that
// made it.
#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define SL_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define SL_THREAD_ANNOTATION(x)
#endif

// A type whose objects are capabilities (a mutex).
#define SL_CAPABILITY(name) SL_THREAD_ANNOTATION(capability(name))
// A type whose objects hold a capability for their scope (a lock).
#define SL_SCOPED_CAPABILITY SL_THREAD_ANNOTATION(scoped_lockable)
// The data member may only be read or written with the capability held.
#define SL_GUARDED_BY(x) SL_THREAD_ANNOTATION(guarded_by(x))
// The function must be called with the capabilities held, or not held.
#define SL_REQUIRES(...) SL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define SL_EXCLUDES(...) SL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function takes or gives up the capabilities (none named: the object itself).
#define SL_ACQUIRE(...) SL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define SL_RELEASE(...) SL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace sayloom {

class MutexLock;

class SL_CAPABILITY("mutex") Mutex {
public:
  void lock() SL_ACQUIRE() { m_mutex.lock(); }
  void unlock() SL_RELEASE() { m_mutex.unlock(); }

private:
  friend class MutexLock;
  std::mutex m_mutex;
};

// Holds a Mutex from construction to destruction, except between unlock() and lock(), and while
// it waits on a condition variable.
class SL_SCOPED_CAPABILITY MutexLock {
public:
  explicit MutexLock(Mutex& mutex) SL_ACQUIRE(mutex) : m_lock(mutex.m_mutex) {}
  ~MutexLock() SL_RELEASE() = default;
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void lock() SL_ACQUIRE() { m_lock.lock(); }
  void unlock() SL_RELEASE() { m_lock.unlock(); }

  // Waits for a notification (or a spurious wake-up) with the mutex released; holds it again on
  // return.
  void wait(std::condition_variable& condition) { condition.wait(m_lock); }
  // The same, giving up at `deadline`.
  template <typename Clock, typename Duration>
  void waitUntil(std::condition_variable& condition,
                 const std::chrono::time_point<Clock, Duration>& deadline) {
    condition.wait_until(m_lock, deadline);
  }

private:
  std::unique_lock<std::mutex> m_lock;
};

}  // namespace sayloom
