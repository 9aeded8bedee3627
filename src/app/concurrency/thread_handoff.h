#pragma once
// Names, for ThreadSanitizer, an ordering between two threads that Qt carries out of its sight.
//
// Qt's thread pool, its futures and its posted events are ordered by Qt's own locks: futexes in a
// library not built with ThreadSanitizer, which it cannot see. Data one thread hands to another
// through them would be reported as a race. The sending thread calls `handOver(channel)` after its
// last write and before Qt takes the hand-off; the receiving thread calls `takeOver(channel)` before
// its first read. `channel` only names the hand-off (the address of the object handed over); it is
// never read. Both compile to nothing outside a ThreadSanitizer build.
//
// Threads: any.

#if defined(__SANITIZE_THREAD__)
#define SAYLOOM_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SAYLOOM_TSAN 1
#endif
#endif

#ifdef SAYLOOM_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace sayloom {

inline void handOver([[maybe_unused]] const void* channel) {
#ifdef SAYLOOM_TSAN
  __tsan_release(const_cast<void*>(channel));
#endif
}

inline void takeOver([[maybe_unused]] const void* channel) {
#ifdef SAYLOOM_TSAN
  __tsan_acquire(const_cast<void*>(channel));
#endif
}

}  // namespace sayloom
