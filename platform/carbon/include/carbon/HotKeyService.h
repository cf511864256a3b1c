#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <nlohmann/json_fwd.hpp>

namespace carbon {

using OSStatus = std::int32_t;

namespace status {
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus paramErr = -50;
inline constexpr OSStatus eventNotHandled = -9874;
inline constexpr OSStatus hotKeyExists = -9878;   // another program holds the combination
inline constexpr OSStatus hotKeyInvalid = -9879;  // the key or a modifier cannot be grabbed here
}  // namespace status

// Modifier bits of a hot key (the stored encoding of shortcuts).
namespace modifier {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
}  // namespace modifier

inline constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

inline constexpr std::uint32_t kEventClassKeyboard = fourCharCode("keyb");
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr std::uint32_t kEventHotKeyReleased = 6;

// Who registered a hot key, handed back with each of its events.
struct EventHotKeyID {
  std::uint32_t signature = 0;
  std::uint32_t id = 0;
  bool operator==(const EventHotKeyID&) const = default;
};

// One pressed or released hot key. `parameterStatus` is not noErr when the event's hot-key
// identity cannot be read; `hotKeyID` is then meaningless. `time` is the X server time of the
// key event (0 when unknown): window managers judge a window's activation by it.
struct HotKeyEvent {
  std::uint32_t eventClass = kEventClassKeyboard;
  std::uint32_t kind = kEventHotKeyPressed;
  EventHotKeyID hotKeyID;
  OSStatus parameterStatus = status::noErr;
  std::uint32_t time = 0;
};

using HotKeyRef = std::uint64_t;  // 0 is no reference
// Gets nullptr for "no event"; returns whether the event was handled.
using HotKeyEventHandler = std::function<OSStatus(const HotKeyEvent*)>;

// The desktop's system-wide hot-key service. Main thread only; events reach the handler on the
// main thread. A combination registered twice by this program shares one system grab, which is
// released when its last registration goes.
class HotKeyService {
 public:
  virtual ~HotKeyService() = default;

  // noErr and a reference, or the reason the desktop refused (status::hotKeyExists when another
  // program holds the combination).
  virtual OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                  HotKeyRef& ref) = 0;
  virtual OSStatus unregisterHotKey(HotKeyRef ref) = 0;
  // Replaces the handler that events are delivered to.
  virtual void installHandler(HotKeyEventHandler handler) = 0;

  // The shortcuts the desktop reserves: a list of dictionaries with the members
  // "kHISymbolicHotKeyEnabled", "kHISymbolicHotKeyCode" and "kHISymbolicHotKeyModifiers" (any of
  // which may be missing or mistyped); nothing when it cannot tell.
  virtual std::optional<nlohmann::json> copySymbolicHotKeys() = 0;
  // Whether another program holds the combination now (a trial registration is refused).
  virtual bool isTakenElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) = 0;

  // While suspended the desktop keeps no grab of ours, so that the keys reach the focused window
  // (the shortcut recorder records the current hot key); registrations stay and are grabbed
  // again on resuming. `focusLeft` runs (on the main thread) once the desktop activates a window
  // of another program meanwhile: the user went elsewhere, where the hot keys should work again.
  virtual void setSuspended(bool suspended, std::function<void()> focusLeft = {}) = 0;
};

}  // namespace carbon
