#include "foundation/MainThread.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace foundation {

bool isMainThread() {
  // The process's first thread, even when a worker happens to start first.
  return ::gettid() == ::getpid();
}

void reportNotOnMainThread(const char* file, int line, const char* function) {
  std::fprintf(stderr, "%s:%d: %s must run on the main thread\n", file, line, function);
  std::abort();
}

}  // namespace foundation
