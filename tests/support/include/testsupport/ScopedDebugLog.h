#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "foundation/DebugLog.h"

namespace testsupport {

// Turns the diagnostic lines on for a test that reads them, and back as they were.
class ScopedDebugLog {
 public:
  ScopedDebugLog() {
    if (const char* value = std::getenv(foundation::kDebugLogVariable)) previous_ = value;
    ::setenv(foundation::kDebugLogVariable, "1", 1);
  }
  ~ScopedDebugLog() {
    if (previous_) {
      ::setenv(foundation::kDebugLogVariable, previous_->c_str(), 1);
    } else {
      ::unsetenv(foundation::kDebugLogVariable);
    }
  }
  ScopedDebugLog(const ScopedDebugLog&) = delete;
  ScopedDebugLog& operator=(const ScopedDebugLog&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace testsupport
