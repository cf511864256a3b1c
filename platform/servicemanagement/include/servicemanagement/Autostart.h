#pragma once

#include <system_error>

namespace servicemanagement {

// Whether the session starts the application at login. Implementations keep no state of their
// own: every call asks the system.
class Autostart {
 public:
  virtual ~Autostart() = default;
  virtual bool isEnabled() const = 0;
  // Both leave the previous state in place on failure.
  virtual std::error_code enable() = 0;
  virtual std::error_code disable() = 0;
};

}  // namespace servicemanagement
