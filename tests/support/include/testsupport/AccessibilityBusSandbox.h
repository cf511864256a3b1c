#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testsupport/PrivateSessionBus.h"
#include "testsupport/StartedPrograms.h"

namespace testsupport {

// The desktop's accessibility bus, privately, for tests: a session bus of its own (dbus-daemon)
// and at-spi-bus-launcher on it, which starts the accessibility bus and its registry. The
// launcher runs without a display, so it announces its bus on no X server that other tests
// share, and keeps its socket in a temporary folder. From construction on this process's
// DBUS_SESSION_BUS_ADDRESS and AT_SPI_BUS_ADDRESS point at the private buses: set them before
// anything in the process asks a bus. Everything stops when the object goes.
class AccessibilityBusSandbox {
 public:
  AccessibilityBusSandbox();
  AccessibilityBusSandbox(const AccessibilityBusSandbox&) = delete;
  AccessibilityBusSandbox& operator=(const AccessibilityBusSandbox&) = delete;

  // Empty when the buses run; otherwise why not (a program missing, a bus that did not start).
  const std::string& unavailableReason() const { return unavailable_; }

  // org.a11y.Status.IsEnabled, as a desktop's accessibility switch sets it.
  bool setEnabled(bool enabled);
  // What the launcher holds; none when it cannot be asked.
  std::optional<bool> enabled() const;
  // The process of every connection to the session bus, or to the accessibility bus.
  enum class Bus { session, accessibility };
  std::vector<pid_t> connectedProcesses(Bus bus) const;
  // Stops the launcher: the session bus then has no accessibility bus.
  void stopLauncher();
  // Starts it again after stopLauncher(). Its accessibility bus has a new address, which the
  // environment set at construction does not name.
  bool startLauncher();

  // "NAME=value" entries for programs that are to find these buses.
  std::vector<std::string> environment() const;

 private:
  PrivateSessionBus session_{"quill-a11y"};
  std::string accessibilityAddress_;
  std::unique_ptr<StartedProgram> launcher_;
  std::string unavailable_;
};

}  // namespace testsupport
