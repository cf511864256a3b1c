#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "appkit/ModifierFlags.h"

namespace appkit {

// The key of a menu item's shortcut: a key and its modifiers. The key is one character ("1",
// "q", "+") or a key name ("return", "escape", "space", "tab", "delete",
// "up", "f5", …). Two equivalents are compared by key and modifiers, never by how they are
// shown: an upper-case letter stands for its lower-case key with shift, as menu titles write it.
struct KeyEquivalent {
  std::string key;
  // Shift, control, option (Alt) and command (Super); other flags are not part of a shortcut.
  ModifierFlags modifiers;

  KeyEquivalent() = default;
  KeyEquivalent(std::string_view key, ModifierFlags modifiers = {});

  bool empty() const { return key.empty(); }
  bool matches(const KeyEquivalent& pressed) const;
  bool operator==(const KeyEquivalent&) const = default;

  // As the desktop shows it beside a menu item: "Ctrl+Q", "Ctrl+Shift+C", "Alt+Space", "F5".
  // Command shows as Meta, the name Qt's desktops give the Super key.
  std::string displayText() const;
};

}  // namespace appkit
