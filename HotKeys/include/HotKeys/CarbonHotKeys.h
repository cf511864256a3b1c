#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "HotKeys/Shortcut.h"
#include "carbon/HotKeyService.h"

namespace HotKeys {

// The module's one contact with the desktop's hot-key service: a table of registrations by id,
// each with its key-down and key-up callback, and the handler that runs them. Main thread only.
class CarbonHotKeys {
 public:
  using Callback = std::function<void(const Shortcut&)>;

  static constexpr std::uint32_t kSignature = carbon::fourCharCode("KBHK");

  // Registers a hot key for the shortcut; false (and nothing stored) when the desktop refuses.
  static bool registerHotKey(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp);
  // Removes every registration of the shortcut.
  static void unregister(const Shortcut& shortcut);
  static carbon::OSStatus hotKeyEventHandler(const carbon::HotKeyEvent* event);
  // The server time of the event whose callback runs now; 0 outside a callback or when the
  // event carries none.
  static std::uint32_t currentEventTime();

  // The shortcuts the desktop reserves, modifiers reduced; empty when it cannot tell.
  static std::vector<Shortcut> systemSymbolicHotKeys();
  // Whether another program holds the shortcut now.
  static bool isTakenElsewhere(const Shortcut& shortcut);

  // The service in use: X11 with a display. setService also forgets every registration, the id
  // counter and the installed handler (tests).
  static carbon::HotKeyService& service();
  static void setService(std::shared_ptr<carbon::HotKeyService> service);
  static std::size_t registrationCount();
};

// The reserved shortcuts of a list of dictionaries (see HotKeyService::copySymbolicHotKeys).
std::vector<Shortcut> symbolicHotKeysFrom(const std::optional<nlohmann::json>& list);

}  // namespace HotKeys
