#pragma once
// The ways a session has no Secret Service to ask, for tests that run in a fresh process (the
// session bus connection is made once per process): `enter` sets one up in this process's
// environment, before anything connects to the bus.
#include <cstdlib>

#include "support/temp_dir.h"

namespace sayloom::test {

struct NoSecretService {
  const char* name;
  const char* busAddress;   // nullptr: unset
  bool emptyRuntimeFolder;  // XDG_RUNTIME_DIR an empty folder (no "bus" socket in it), no DISPLAY

  // Sets the environment up (the runtime folder is removed when the process exits).
  void enter() const {
    static const TempDir runtime;
    if (busAddress != nullptr) {
      setenv("DBUS_SESSION_BUS_ADDRESS", busAddress, 1);
    } else {
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    if (emptyRuntimeFolder) {
      setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
      unsetenv("DISPLAY");
    }
  }
};

inline constexpr NoSecretService noSecretServiceCases[] = {
    {"an address pointing nowhere", "unix:path=/nonexistent/sayloom-no-bus", false},
    {"an address that is no address", "nonsense", false},
    // GLib then tries to autolaunch a bus, which needs X11, and fails with its generic code 0.
    {"no address, no bus in the runtime folder, no display", nullptr, true},
};

}  // namespace sayloom::test
