#pragma once
// Under ThreadSanitizer, makes Qt start child processes with a real fork instead of a vfork.
//
// Qt starts a child process with clone(CLONE_VM | CLONE_VFORK | CLONE_PIDFD): until it execs, the
// child runs on the parent's memory and thread state, and the sanitizer's interceptors it calls
// there change the state of the parent's thread. GCC's runtime then reports races that never
// happened in the parent, clang's aborts. Qt falls back to fork(), which the sanitizer handles,
// when the kernel does not know pidfds; this answers its probe (waitid with P_PIDFD) that way.
// Include it once, in a test program's main file.
#include "app/concurrency/thread_handoff.h"

#ifdef SAYLOOM_TSAN
#include <dlfcn.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstdarg>

extern "C" long syscall(long number, ...) {
  constexpr long pidfdKind = 3;  // P_PIDFD
  va_list list;
  va_start(list, number);
  long arguments[6];
  for (long& argument : arguments) {
    argument = va_arg(list, long);
  }
  va_end(list);
  if (number == SYS_waitid && arguments[0] == pidfdKind) {
    errno = ENOSYS;
    return -1;
  }
  using Syscall = long (*)(long, ...);
  static const auto next = reinterpret_cast<Syscall>(dlsym(RTLD_NEXT, "syscall"));
  return next(number, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4], arguments[5]);
}
#endif
