#pragma once

#include "appkit/ModifierFlags.h"
#include "ui/Geometry.h"

namespace HotKeys {

// Event type numbers of the original design (only key down and key up make shortcuts).
enum class InputEventType : int {
  leftMouseDown = 1,
  leftMouseUp = 2,
  rightMouseDown = 3,
  rightMouseUp = 4,
  mouseMoved = 5,
  keyDown = 10,
  keyUp = 11,
  flagsChanged = 12,
};

// Keys the recorder treats specially. `delete_` is the key left of the digits' row end
// (BackSpace on X11), `deleteForward` the one that deletes forwards (Delete).
enum class SpecialKey { none, tab, delete_, deleteForward, backspace, functionKey };

// One key or mouse event of the program's own windows, as the recorder sees it.
struct InputEvent {
  InputEventType type = InputEventType::keyDown;
  int keyCode = -1;  // virtual key code; -1 for keys that have none (Print, F21...)
  appkit::ModifierFlags modifierFlags;
  SpecialKey specialKey = SpecialKey::none;
  int functionKeyNumber = 0;  // 1 to 35 for SpecialKey::functionKey
  ui::Point location;         // mouse events: in the receiving field's coordinates
  // AltGr was held: a global grab can't hold it, and the key typed something else with it.
  bool withLevelThree = false;

  bool isKey() const { return type == InputEventType::keyDown || type == InputEventType::keyUp; }
};

}  // namespace HotKeys
