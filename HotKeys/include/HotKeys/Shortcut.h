#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "HotKeys/InputEvent.h"
#include "HotKeys/Key.h"
#include "appkit/ModifierFlags.h"

namespace HotKeys {

using appkit::ModifierFlags;
struct Name;

// Carbon modifier bits (the stored form) to and from event modifier flags. Only control,
// option, shift and command cross; every other bit is dropped.
int carbonModifiers(ModifierFlags flags);
ModifierFlags modifierFlags(int carbonModifiers);

// A key with its modifiers, as stored and as registered with the desktop.
struct Shortcut {
  int carbonKeyCode = 0;
  int carbonModifiers = 0;  // command 0x100, shift 0x200, option 0x800, control 0x1000

  // Keeps only the four modifier bits.
  Shortcut(int carbonKeyCode, int carbonModifiers);
  Shortcut(Key key, ModifierFlags modifiers);
  // As stored: the modifier bits as they stand.
  static Shortcut decoded(int carbonKeyCode, int carbonModifiers);
  // A key down or key up of a key that has a virtual key code; nothing otherwise.
  static std::optional<Shortcut> fromEvent(const InputEvent& event);
  // The shortcut stored for the name.
  static std::optional<Shortcut> forName(const Name& name);

  Key key() const { return Key(carbonKeyCode); }
  ModifierFlags modifiers() const { return modifierFlags(carbonModifiers); }

  // Modifier glyphs and the key's text, upper-cased: "⌥⎵", "⇧⌘A"; "�" for a key without text.
  std::string description() const;
  // As a Linux desktop writes it, for people: "Alt+Space", "Ctrl+Shift+A", "Meta+F5".
  std::string displayText() const;
  // What a menu item shows as key equivalent: a single-character key text as it is, F1–F20 as
  // their private-use characters, else "".
  std::string keyEquivalent() const;

  // {"carbonKeyCode":49,"carbonModifiers":2048}
  std::string json() const;
  // Both members must be integers; nothing otherwise.
  static std::optional<Shortcut> fromJSON(std::string_view text);

  bool operator==(const Shortcut&) const = default;

 private:
  Shortcut() = default;
};

// The glyphs of the set modifiers, always in the order ⌃ ⌥ ⇧ ⌘, then 🌐︎ for function.
std::string description(ModifierFlags flags);

}  // namespace HotKeys

template <>
struct std::hash<HotKeys::Shortcut> {
  std::size_t operator()(const HotKeys::Shortcut& shortcut) const noexcept {
    std::size_t seed = std::hash<int>{}(shortcut.carbonKeyCode);
    return seed ^ (std::hash<int>{}(shortcut.carbonModifiers) + 0x9e3779b97f4a7c15ull +
                   (seed << 6) + (seed >> 2));
  }
};
