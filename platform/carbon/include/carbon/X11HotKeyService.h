#pragma once

#include <memory>
#include <string>

#include "carbon/HotKeyService.h"

namespace carbon {

// System-wide hot keys on X11: a passive grab of the key on the root window, once for every
// combination of Caps Lock, Num Lock and Scroll Lock, so that a lock never kills the hot key.
// Another client holding any of them refuses the registration (BadAccess). Option is the Alt
// modifier and Command the Super modifier, wherever the keyboard mapping puts them; a mapping
// change moves the grabs along. Auto-repeat is filtered: one press, one release per stroke, the
// release matched by key whatever modifiers are still held.
//
// A thread of its own reads the connection and hands events to the main queue, so the UI thread
// never waits for X. Main thread only otherwise.
class X11HotKeyService : public HotKeyService {
 public:
  // An empty name opens $DISPLAY.
  explicit X11HotKeyService(const std::string& displayName = {});
  ~X11HotKeyService() override;
  X11HotKeyService(const X11HotKeyService&) = delete;
  X11HotKeyService& operator=(const X11HotKeyService&) = delete;

  // False without a display.
  bool ok() const;

  OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                          HotKeyRef& ref) override;
  OSStatus unregisterHotKey(HotKeyRef ref) override;
  void installHandler(HotKeyEventHandler handler) override;
  // X11 keeps no list of reserved shortcuts: an empty one.
  std::optional<nlohmann::json> copySymbolicHotKeys() override;
  bool isTakenElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) override;
  // The active window is the one EWMH window managers name on the root window; its _NET_WM_PID
  // tells whether it is another program's.
  void setSuspended(bool suspended, std::function<void()> focusLeft = {}) override;

  // How often the keyboard mapping was read again after the desktop changed it.
  std::size_t mappingRefreshes() const;

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace carbon
