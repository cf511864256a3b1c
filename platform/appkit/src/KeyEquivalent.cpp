#include "appkit/KeyEquivalent.h"

#include <cctype>

namespace appkit {
namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (auto& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

// Names as the desktop shows them beside menu items.
std::string keyDisplayName(const std::string& key) {
  if (key.size() == 1) return std::string(1, static_cast<char>(std::toupper(key[0])));
  static const struct {
    const char* key;
    const char* shown;
  } names[] = {{"return", "Return"}, {"escape", "Esc"},     {"space", "Space"},
               {"tab", "Tab"},       {"delete", "Del"},     {"backspace", "Backspace"},
               {"up", "Up"},         {"down", "Down"},      {"left", "Left"},
               {"right", "Right"},   {"home", "Home"},      {"end", "End"},
               {"pageup", "PgUp"},   {"pagedown", "PgDown"}};
  for (const auto& n : names)
    if (key == n.key) return n.shown;
  if (key.size() >= 2 && key[0] == 'f' && std::isdigit(static_cast<unsigned char>(key[1])))
    return "F" + key.substr(1);
  return key;
}

constexpr std::uint64_t kShortcutModifiers =
    ModifierFlags::shift | ModifierFlags::control | ModifierFlags::option | ModifierFlags::command;

}  // namespace

KeyEquivalent::KeyEquivalent(std::string_view k, ModifierFlags m)
    : modifiers(m.intersection(kShortcutModifiers)) {
  // A single upper-case letter is the letter's key with shift.
  if (k.size() == 1 && std::isupper(static_cast<unsigned char>(k[0]))) {
    key = lower(k);
    modifiers |= ModifierFlags::shift;
  } else {
    key = k.size() == 1 ? std::string(k) : lower(k);
  }
}

bool KeyEquivalent::matches(const KeyEquivalent& pressed) const {
  return !key.empty() && key == pressed.key &&
         modifiers.intersection(kShortcutModifiers) ==
             pressed.modifiers.intersection(kShortcutModifiers);
}

std::string KeyEquivalent::displayText() const {
  if (key.empty()) return {};
  std::string text;
  if (modifiers.contains(ModifierFlags::control)) text += "Ctrl+";
  if (modifiers.contains(ModifierFlags::option)) text += "Alt+";
  if (modifiers.contains(ModifierFlags::command)) text += "Meta+";
  if (modifiers.contains(ModifierFlags::shift)) text += "Shift+";
  return text + keyDisplayName(key);
}

}  // namespace appkit
