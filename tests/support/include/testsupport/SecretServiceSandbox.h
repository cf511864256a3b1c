#pragma once

#include <memory>
#include <string>

#include "testsupport/PrivateSessionBus.h"
#include "testsupport/StartedPrograms.h"

namespace testsupport {

// gnome-keyring's Secret Service on a private session bus, for tests: a dbus-daemon of its own
// with nothing to activate, and gnome-keyring-daemon unlocked with a known password, keeping
// its keyrings in a temporary home. The process's DBUS_SESSION_BUS_ADDRESS points at the
// private bus from the first instance() on, so the user's own keyring is never reached.
// One per process; the processes stop when the program ends.
class SecretServiceSandbox {
 public:
  static SecretServiceSandbox& instance();

  // Empty when the sandbox runs; otherwise why it cannot (e.g. gnome-keyring is missing).
  const std::string& unavailableReason() const { return unavailable_; }
  bool keyringRunning() const { return keyring_ != nullptr; }

  // Starts gnome-keyring-daemon (unlocking the login keyring) and waits until it serves.
  bool startKeyring();
  void stopKeyring();
  // Locks the login collection, as a screen lock would.
  bool lockLogin();

  static constexpr const char* kPassword = "quillcast-test-password";

 private:
  SecretServiceSandbox();
  ~SecretServiceSandbox();
  bool secretsServed() const;

  PrivateSessionBus session_{"quill-keyring"};
  std::unique_ptr<StartedProgram> keyring_;
  std::string unavailable_;
};

}  // namespace testsupport
