#pragma once

#include <foundation/ObservableObject.h>
#include <foundation/UserDefaults.h>

#include <functional>
#include <memory>
#include <string>

#include "loginitem/LoginItemControl.h"

namespace foundation {
class OperationQueue;
}

// Launch at login: the application's XDG autostart entry.
namespace LoginItem {

// The application id that names the autostart file ("<id>.desktop").
inline constexpr const char* kApplicationId = "org.quillcast.Quillcast";
inline constexpr const char* kApplicationName = "Quillcast";
inline constexpr const char* kMigrationKey = "LoginItem__hasMigrated";

// A value holder whose subscribers get the current value at once and every value sent later.
// Main thread only.
class Publisher {
 public:
  explicit Publisher(bool initial);
  ~Publisher();
  [[nodiscard]] foundation::Cancellable subscribe(std::function<void(bool)> receiver);
  void send(bool value);
  bool value() const { return value_; }

 private:
  struct Subscribers;
  bool value_;
  std::shared_ptr<Subscribers> subscribers_;
};

// The login item as observable state. Observers are told before a change (will-change) and
// after it (did-change); the publisher then gets the state read back from the system, so a
// failed registration never shows as success. Main thread only.
class Observable final : public foundation::ObservableObject,
                         public std::enable_shared_from_this<Observable> {
 public:
  explicit Observable(std::shared_ptr<loginitem::LoginItemControl> control);
  ~Observable() override;

  // The state last read from the system; reading it does no I/O.
  bool isEnabled() const { return enabled_; }
  // Changes the registration here and now.
  void setEnabled(bool enabled);
  // The same on a worker thread, for the UI: observers hear of it on the main queue later.
  void requestEnabled(bool enabled);
  // Reads the system state again (on a worker thread) and publishes it when it changed.
  void refresh();

  [[nodiscard]] foundation::Cancellable subscribeDidChange(std::function<void()> observer);
  Publisher& publisher() { return publisher_; }

 private:
  void finish(bool state);
  std::shared_ptr<loginitem::LoginItemControl> control_;
  bool enabled_;
  Publisher publisher_;
  std::unique_ptr<foundation::OperationQueue> worker_;
  struct DidChange;
  std::shared_ptr<DidChange> didChange_;
};

// Reads the system state on every call.
bool isEnabled();
// Registers or unregisters through the shared observable (see Observable::setEnabled).
void setEnabled(bool enabled);
// The shared observable, made on first use over the XDG autostart entry and the system log.
Observable& observable();
std::shared_ptr<Observable> sharedObservable();
Publisher& publisher();

// Nothing to move on this platform; the marker is still set once so that the stored defaults
// agree with other installations.
void migrateIfNeeded(foundation::UserDefaults& defaults = foundation::UserDefaults::standard());

}  // namespace LoginItem
