#include "testsupport/AccessibilityBusSandbox.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace testsupport {

AccessibilityBusSandbox::AccessibilityBusSandbox() {
  const char* launcherPath = "/usr/libexec/at-spi-bus-launcher";
  if (::access(launcherPath, X_OK) != 0) {
    unavailable_ = "at-spi-bus-launcher is not installed (Debian: at-spi2-core)";
    return;
  }
  if (!session_.unavailableReason().empty()) {
    unavailable_ = session_.unavailableReason();
    return;
  }
  launcher_ = std::make_unique<StartedProgram>(
      std::vector<std::string>{launcherPath}, StartedProgram::Output::discarded,
      std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + session_.address(),
                               "XDG_RUNTIME_DIR=" + (session_.folder() / "run").string(),
                               "HOME=" + session_.folder().string(),
                               // The switch is kept in memory: the user's own settings stay
                               // untouched.
                               "GSETTINGS_BACKEND=memory", "DISPLAY"});
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
  if (accessibilityAddress_.empty()) {
    unavailable_ = "at-spi-bus-launcher did not start its bus";
    return;
  }
  ::setenv("DBUS_SESSION_BUS_ADDRESS", session_.address().c_str(), 1);
  ::setenv("AT_SPI_BUS_ADDRESS", accessibilityAddress_.c_str(), 1);
}

bool AccessibilityBusSandbox::setEnabled(bool enabled) {
  return session_
      .call({"--dest=org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
             "string:org.a11y.Status", "string:IsEnabled",
             std::string("variant:boolean:") + (enabled ? "true" : "false")})
      .has_value();
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
