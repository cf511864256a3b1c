#pragma once

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

[[noreturn]] void reportNotOnMainThread(const char* file, int line, const char* function);

// Stops the program, naming the caller, when it runs off the main thread. Put it where state
// that only the main thread may touch is published or changed. (The builtins stand in for
// std::source_location, which clang 14 cannot build with libstdc++ 12.)
inline void assertMainThread(const char* file = __builtin_FILE(), int line = __builtin_LINE(),
                             const char* function = __builtin_FUNCTION()) {
  if constexpr (kMainThreadChecks) {
    if (!isMainThread()) reportNotOnMainThread(file, line, function);
  }
}

}  // namespace foundation
