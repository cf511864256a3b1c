#include "loginitem/LoginItemControl.h"

#include <string>

namespace loginitem {

bool LoginItemControl::setEnabled(bool enabled) {
  const std::error_code error = enabled ? autostart_.enable() : autostart_.disable();
  if (error) {
    log_.error(std::string("Failed to ") + (enabled ? "enable" : "disable") +
               " launch at login: " + error.message());
  }
  return autostart_.isEnabled();
}

}  // namespace loginitem
