#include "platform/process_guard.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace sayloom::platform {

void keepMemoryOutOfCoreDumps() {
  const rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace sayloom::platform
