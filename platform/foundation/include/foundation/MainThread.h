#pragma once

#include <source_location>

namespace foundation {

// True on the program's main thread (the one that runs the main queue).
bool isMainThread();

// Whether assertMainThread checks anything: in debug and sanitizer builds only, so a release
// build pays nothing for it.
#if !defined(NDEBUG) || defined(QUILL_SANITIZE)
inline constexpr bool kMainThreadChecks = true;
#else
inline constexpr bool kMainThreadChecks = false;
#endif

[[noreturn]] void reportNotOnMainThread(std::source_location where);

// Stops the program, naming the caller, when it runs off the main thread. Put it where state
// that only the main thread may touch is published or changed.
inline void assertMainThread(std::source_location where = std::source_location::current()) {
  if constexpr (kMainThreadChecks) {
    if (!isMainThread()) reportNotOnMainThread(where);
  }
}

}  // namespace foundation
