#include "foundation/DebugLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace foundation {

// Read on every call, so a test or a debugger can turn it on at any time; the lines are rare.
bool debugLogEnabled() {
  const char* value = std::getenv(kDebugLogVariable);
  return value && *value && std::strcmp(value, "0") != 0;
}

void debugLog(std::string_view line) {
  if (!debugLogEnabled()) return;
  // Lines come from more than one thread (the files are written on one of their own).
  ::flockfile(stdout);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  ::funlockfile(stdout);
}

}  // namespace foundation
