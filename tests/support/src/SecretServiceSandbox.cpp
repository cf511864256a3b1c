#include "testsupport/SecretServiceSandbox.h"
#include "testsupport/StartedPrograms.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace testsupport {
namespace {

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    if (::access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

SecretServiceSandbox& SecretServiceSandbox::instance() {
  static SecretServiceSandbox sandbox;
  return sandbox;
}

SecretServiceSandbox::SecretServiceSandbox() {
  for (const char* program : {"dbus-daemon", "dbus-send", "gnome-keyring-daemon"}) {
    if (!onPath(program)) {
      unavailable_ = std::string(program) + " is not installed (Debian: gnome-keyring, dbus)";
      return;
    }
  }
  unavailable_ = session_.unavailableReason();
  if (unavailable_.empty()) ::setenv("DBUS_SESSION_BUS_ADDRESS", session_.address().c_str(), 1);
}

SecretServiceSandbox::~SecretServiceSandbox() {
  stopKeyring();
}

bool SecretServiceSandbox::secretsServed() const {
  return session_
      .call({"--dest=org.freedesktop.secrets", "/org/freedesktop/secrets",
             "org.freedesktop.DBus.Properties.Get", "string:org.freedesktop.Secret.Service",
             "string:Collections"})
      .has_value();
}

bool SecretServiceSandbox::startKeyring() {
  if (!unavailable_.empty()) return false;
  if (keyring_) return true;
  const std::string home = session_.folder().string();
  keyring_ = std::make_unique<StartedProgram>(
      std::vector<std::string>{"gnome-keyring-daemon", "--foreground", "--unlock",
                               "--components=secrets"},
      StartedProgram::Output::discarded,
      std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + session_.address(), "HOME=" + home,
                               "XDG_DATA_HOME=" + home + "/data",
                               "XDG_CONFIG_HOME=" + home + "/config",
                               "XDG_RUNTIME_DIR=" + home + "/run"},
      StartedProgram::Input::piped);
  // The login keyring's password, read up to the end of its input.
  const bool told = keyring_->write(kPassword);
  keyring_->closeInput();
  if (!keyring_->started() || !told) {
    keyring_.reset();
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (secretsServed()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stopKeyring();
  return false;
}

void SecretServiceSandbox::stopKeyring() {
  keyring_.reset();
  // Wait until the name is gone, so the next start does not race the old one.
  for (int i = 0; i < 100 && unavailable_.empty() && secretsServed(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool SecretServiceSandbox::lockLogin() {
  return session_
      .call({"--dest=org.freedesktop.secrets", "/org/freedesktop/secrets",
             "org.freedesktop.Secret.Service.Lock",
             "array:objpath:/org/freedesktop/secrets/collection/login"})
      .has_value();
}

}  // namespace testsupport
