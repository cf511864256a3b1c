#pragma once

#include <cstdint>

#include "appkit/ModifierFlags.h"

namespace accessibility {

// Key codes of the ANSI keyboard layout (position, not character).
inline constexpr std::uint16_t kVirtualKeyC = 8;
inline constexpr std::uint16_t kVirtualKeyV = 9;

// Modifier flags of a key event: the bits of input events' modifier flags.
inline constexpr std::uint64_t kEventFlagMaskShift = appkit::ModifierFlags::shift;
inline constexpr std::uint64_t kEventFlagMaskControl = appkit::ModifierFlags::control;
inline constexpr std::uint64_t kEventFlagMaskAlternate = appkit::ModifierFlags::option;
inline constexpr std::uint64_t kEventFlagMaskCommand = appkit::ModifierFlags::command;

struct KeyEvent {
  std::uint16_t keyCode = 0;
  bool keyDown = true;
  std::uint64_t flags = 0;  // exactly these modifiers apply, whatever keys the user holds
  bool operator==(const KeyEvent&) const = default;
};

// Posts synthetic key events to the application that has the keyboard, as if typed.
// Thread-safe.
class KeyEventPoster {
 public:
  virtual ~KeyEventPoster() = default;

  // False when the event could not be made or posted.
  virtual bool post(const KeyEvent& event) = 0;

  // Key down, then key up, both with `flags`.
  bool postKeyStroke(std::uint16_t keyCode, std::uint64_t flags) {
    return post({keyCode, true, flags}) && post({keyCode, false, flags});
  }
};

}  // namespace accessibility
