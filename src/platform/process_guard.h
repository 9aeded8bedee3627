#pragma once
// Keeps the process's memory, which holds the cloud account's refresh token, out of core files and
// away from other processes of the same user: the process is made non-dumpable (no core file, no
// ptrace attach and no /proc/PID/mem or environ reads without CAP_SYS_PTRACE) and its core file
// size limit is set to 0, which also holds where the system dumps non-dumpable processes anyway
// (fs.suid_dumpable 2, usually with a crash reporter behind a piped core pattern). Both programs
// call it first thing in main, before any secret is read. The limit is inherited by the engine
// child, which has no core file to lose either; the non-dumpable flag is reset by its exec.
//
// Error convention: failures are ignored (the calls only fail on kernels without them).
// Thread contract: call once, before other threads start.

namespace sayloom::platform {

void keepMemoryOutOfCoreDumps();

}  // namespace sayloom::platform
