#pragma once
// Runs a function on the main thread, posted from any thread (a capture's callbacks).
//
// Threads: `postToMainThread` may be called from any thread while the QCoreApplication exists.
// The work runs on the main thread's event loop, in the order each thread posted it; everything
// the posting thread wrote before the call is visible to it (named for ThreadSanitizer too).
#include <functional>

namespace sayloom {

void postToMainThread(std::function<void()> work);

}  // namespace sayloom
