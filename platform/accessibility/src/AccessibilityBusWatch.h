#pragma once

#include <dbus/dbus.h>
#include <glib.h>

#include <atomic>
#include <chrono>
#include <functional>

#include "accessibility/AtspiAccessibility.h"

namespace accessibility {

// Where the desktop's accessibility bus stands, as the session bus tells it: asked when the watch
// looks, then followed through the signals of the bus's launcher (its name coming and going,
// org.a11y.Status changing), so that nobody has to ask again. Lives on one thread, whose GLib
// main context dispatches those signals; state() may be read from any thread.
class AccessibilityBusWatch {
 public:
  // `changed` runs on the owning thread, from a dispatch of `context`, whenever the state may
  // have changed; a look may then be due.
  AccessibilityBusWatch(GMainContext* context, std::chrono::milliseconds callTimeout,
                        std::function<void()> changed);
  ~AccessibilityBusWatch();
  AccessibilityBusWatch(const AccessibilityBusWatch&) = delete;
  AccessibilityBusWatch& operator=(const AccessibilityBusWatch&) = delete;

  // Connects to the session bus where there is none yet and asks where the accessibility bus
  // stands; the session bus may start its launcher for that. Waits for them, boundedly.
  void look();
  // A signal said that only a look tells the state now (the launcher came back, the session
  // bus went).
  bool lookDue() const { return lookDue_; }
  // The last look found no session bus. Any thread.
  bool sessionMissing() const { return sessionMissing_; }
  // Without a session bus a look starts a program (dbus-launch) each time: true once the last
  // failed connection is old enough to try again. Any thread.
  bool mayTryAgain() const;

  // Any thread.
  AccessibilityBus state() const { return state_; }

  // Asks the launcher to switch the bus on for every application (org.a11y.Status.IsEnabled).
  // True when the bus says it is on afterwards.
  bool enable();

  // Leaves the session bus; before the main context goes, which its signals were attached to.
  void close() { disconnect(); }

 private:
  static DBusHandlerResult handleMessage(DBusConnection* connection, DBusMessage* message,
                                         void* watch);
  void signalled(DBusMessage* message);
  bool connect();
  void disconnect();
  DBusMessage* callProperties(DBusMessage* message, int timeoutMs);

  GMainContext* context_;
  std::chrono::milliseconds callTimeout_;
  std::function<void()> changed_;
  DBusConnection* session_ = nullptr;
  bool lookDue_ = true;
  std::atomic<AccessibilityBus> state_{AccessibilityBus::absent};
  std::atomic<bool> sessionMissing_{false};
  // Steady-clock ticks before which a missing session bus is not tried again.
  std::atomic<std::chrono::steady_clock::rep> nextTry_{0};
};

}  // namespace accessibility
