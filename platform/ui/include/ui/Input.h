#pragma once

#include <cstdint>
#include <string>

#include "ui/Geometry.h"

namespace ui {

// Keys by what they do; `character` keys carry what they type in KeyEvent::text.
enum class Key {
  character,
  enter,  // Return and the keypad's Enter
  tab,
  escape,
  space,
  backspace,
  forwardDelete,
  up,
  down,
  left,
  right,
  home,
  end,
  pageUp,
  pageDown,
  function,  // F1... (KeyEvent::text holds "F1"...)
  modifier,  // Shift, Control, Alt, Super or AltGr pressed on its own
  other,
};

struct Modifiers {
  bool shift = false, control = false, alt = false, super = false;
  bool none() const { return !shift && !control && !alt && !super; }
  bool operator==(const Modifiers&) const = default;
};

struct KeyEvent {
  Key key = Key::other;
  std::string text;  // what the key types (UTF-8), empty for keys that type nothing
  Modifiers modifiers;
  bool isRepeat = false;
  // Where the platform tells them: the key's evdev code (0 when unknown), and whether AltGr
  // (ISO Level 3) was held, which changes what the key types.
  int physicalKey = 0;
  bool levelThree = false;

  static KeyEvent of(Key key, Modifiers modifiers = {}) { return {key, {}, modifiers, false}; }
  // A key that types `text`, e.g. KeyEvent::typing("c", {.control = true}).
  static KeyEvent typing(std::string text, Modifiers modifiers = {}) {
    return {text == " " ? Key::space : Key::character, std::move(text), modifiers, false};
  }
  // Control+`letter` (lower case), as shortcuts compare it.
  bool isControl(char letter) const {
    return key == Key::character && modifiers.control && !modifiers.alt && !modifiers.super &&
           text.size() == 1 && (text[0] | 0x20) == letter;
  }
};

enum class PointerButton { primary, secondary, middle };

// A press, a move or a release. `location` is in window coordinates as the host receives it
// and in the receiving view's own coordinates when a view gets it. `clickCount` counts quick
// presses at one place: 2 on the second press of a double-click.
struct PointerEvent {
  Point location;
  PointerButton button = PointerButton::primary;
  Modifiers modifiers;
  int clickCount = 1;

  static PointerEvent at(Point p, int clickCount = 1) {
    return {p, PointerButton::primary, {}, clickCount};
  }
};

// How far a pressed pointer moves before a press becomes a drag, so clicks stay clicks.
inline constexpr double kDragThreshold = 4;

enum class CursorShape { arrow, pointingHand, iBeam };

// What an input method produces: text to insert and, while composing, the pending text that
// replaces the previous pending text (shown underlined, not yet part of the content).
struct TextInputEvent {
  std::string commit;
  std::string preedit;
};

}  // namespace ui
