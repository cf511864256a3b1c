#pragma once

#include <servicemanagement/Autostart.h>

#include "loginitem/Log.h"

namespace loginitem {

// Registers and unregisters the application with the session and logs failures. Stateless
// beyond its two parts, so it may run on a worker thread.
class LoginItemControl {
 public:
  LoginItemControl(servicemanagement::Autostart& autostart, Log& log)
      : autostart_(autostart), log_(log) {}

  bool isEnabled() const { return autostart_.isEnabled(); }
  // Registers or unregisters; a failure is logged and swallowed. An existing registration is
  // rewritten in place, never dropped first. Returns the state read back afterwards.
  bool setEnabled(bool enabled);

 private:
  servicemanagement::Autostart& autostart_;
  Log& log_;
};

}  // namespace loginitem
