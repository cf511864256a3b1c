#include "foundation/MainThread.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace foundation {

bool isMainThread() {
  // The process's first thread, even when a worker happens to start first.
  return ::gettid() == ::getpid();
}

void reportNotOnMainThread(std::source_location where) {
  std::fprintf(stderr, "%s:%u: %s must run on the main thread\n", where.file_name(),
               static_cast<unsigned>(where.line()), where.function_name());
  std::abort();
}

}  // namespace foundation
