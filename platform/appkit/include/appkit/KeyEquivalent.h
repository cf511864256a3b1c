#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace appkit {

enum class Modifier : std::uint8_t { shift = 1, control = 2, alt = 4, super = 8 };

// A set of modifiers as a bit mask of Modifier values.
class Modifiers {
 public:
  constexpr Modifiers() = default;
  constexpr Modifiers(Modifier m) : bits_(static_cast<std::uint8_t>(m)) {}  // NOLINT
  constexpr Modifiers operator|(Modifiers other) const { return fromBits(bits_ | other.bits_); }
  constexpr bool contains(Modifier m) const { return bits_ & static_cast<std::uint8_t>(m); }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr std::uint8_t bits() const { return bits_; }
  static constexpr Modifiers fromBits(unsigned bits) {
    Modifiers m;
    m.bits_ = static_cast<std::uint8_t>(bits & 0xf);
    return m;
  }
  constexpr bool operator==(const Modifiers&) const = default;

 private:
  std::uint8_t bits_ = 0;
};

constexpr Modifiers operator|(Modifier a, Modifier b) {
  return Modifiers(a) | Modifiers(b);
}

// The key of a menu item's shortcut: a key and its modifiers. The key is one character ("1",
// "q", "+") or a key name ("return", "escape", "space", "tab", "delete",
// "up", "f5", …). Two equivalents are compared by key and modifiers, never by how they are
// shown: an upper-case letter stands for its lower-case key with shift, as menu titles write it.
struct KeyEquivalent {
  std::string key;
  Modifiers modifiers;

  KeyEquivalent() = default;
  KeyEquivalent(std::string_view key, Modifiers modifiers = {});

  bool empty() const { return key.empty(); }
  bool matches(const KeyEquivalent& pressed) const;
  bool operator==(const KeyEquivalent&) const = default;

  // As the desktop shows it beside a menu item: "Ctrl+Q", "Ctrl+Shift+C", "Alt+Space", "F5".
  std::string displayText() const;
};

}  // namespace appkit
