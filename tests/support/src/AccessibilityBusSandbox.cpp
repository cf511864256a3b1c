#include "testsupport/AccessibilityBusSandbox.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace testsupport {
namespace {

constexpr const char* kLauncherPath = "/usr/libexec/at-spi-bus-launcher";

}  // namespace

AccessibilityBusSandbox::AccessibilityBusSandbox() {
  if (::access(kLauncherPath, X_OK) != 0) {
    unavailable_ = "at-spi-bus-launcher is not installed (Debian: at-spi2-core)";
    return;
  }
  if (!session_.unavailableReason().empty()) {
    unavailable_ = session_.unavailableReason();
    return;
  }
  if (!startLauncher()) {
    unavailable_ = "at-spi-bus-launcher did not start its bus";
    return;
  }
  ::setenv("DBUS_SESSION_BUS_ADDRESS", session_.address().c_str(), 1);
  ::setenv("AT_SPI_BUS_ADDRESS", accessibilityAddress_.c_str(), 1);
}

bool AccessibilityBusSandbox::startLauncher() {
  launcher_ = std::make_unique<StartedProgram>(
      std::vector<std::string>{kLauncherPath}, StartedProgram::Output::discarded,
      std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + session_.address(),
                               "XDG_RUNTIME_DIR=" + (session_.folder() / "run").string(),
                               "HOME=" + session_.folder().string(),
                               // The switch is kept in memory: the user's own settings stay
                               // untouched.
                               "GSETTINGS_BACKEND=memory", "DISPLAY"});
  accessibilityAddress_.clear();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto reply =
            session_.call({"--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"})) {
      const auto open = reply->find('"');
      const auto close = reply->rfind('"');
      if (open != std::string::npos && close > open)
        accessibilityAddress_ = reply->substr(open + 1, close - open - 1);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return !accessibilityAddress_.empty();
}

bool AccessibilityBusSandbox::setEnabled(bool enabled) {
  return session_
      .call({"--dest=org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
             "string:org.a11y.Status", "string:IsEnabled",
             std::string("variant:boolean:") + (enabled ? "true" : "false")})
      .has_value();
}

std::optional<bool> AccessibilityBusSandbox::enabled() const {
  const auto reply =
      session_.call({"--dest=org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Get",
                     "string:org.a11y.Status", "string:IsEnabled"});
  if (!reply) return std::nullopt;
  if (reply->find("boolean true") != std::string::npos) return true;
  if (reply->find("boolean false") != std::string::npos) return false;
  return std::nullopt;
}

std::vector<pid_t> AccessibilityBusSandbox::connectedProcesses(Bus bus) const {
  const std::string address = bus == Bus::session ? session_.address() : accessibilityAddress_;
  std::vector<pid_t> processes;
  const auto names = callBus(address, {"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus.ListNames"});
  if (!names) return processes;
  // Every connection has one unique name (":1.7"); well-known names belong to one of them.
  for (std::size_t at = names->find("\":"); at != std::string::npos;
       at = names->find("\":", at + 1)) {
    const auto end = names->find('"', at + 1);
    if (end == std::string::npos) break;
    const std::string name = names->substr(at + 1, end - at - 1);
    const auto pid =
        callBus(address, {"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                          "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:" + name});
    const auto number = pid ? pid->find("uint32 ") : std::string::npos;
    if (number != std::string::npos)
      processes.push_back(static_cast<pid_t>(std::stol(pid->substr(number + 7))));
  }
  return processes;
}

void AccessibilityBusSandbox::stopLauncher() {
  launcher_.reset();
  // Gone once the name has no owner any more.
  for (int i = 0; i < 200; ++i) {
    if (!session_.call({"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus.GetNameOwner", "string:org.a11y.Bus"}))
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::vector<std::string> AccessibilityBusSandbox::environment() const {
  return {"DBUS_SESSION_BUS_ADDRESS=" + session_.address(),
          "AT_SPI_BUS_ADDRESS=" + accessibilityAddress_,
          "XDG_RUNTIME_DIR=" + (session_.folder() / "run").string()};
}

}  // namespace testsupport
