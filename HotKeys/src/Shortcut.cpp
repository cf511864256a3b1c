#include "HotKeys/Shortcut.h"

#include <array>
#include <map>
#include <utility>

#include <nlohmann/json.hpp>

#include "HotKeys/KeyText.h"
#include "appkit/KeyEquivalent.h"

namespace HotKeys {
namespace {

// {event flag, Carbon bit}
constexpr std::array<std::pair<std::uint64_t, int>, 4> kModifierPairs{{
    {ModifierFlags::control, 0x1000},
    {ModifierFlags::option, 0x800},
    {ModifierFlags::shift, 0x200},
    {ModifierFlags::command, 0x100},
}};

constexpr const char* kReplacementCharacter = "\uFFFD";

}  // namespace

int carbonModifiers(ModifierFlags flags) {
  int carbon = 0;
  for (auto [flag, bit] : kModifierPairs)
    if (flags.contains(flag)) carbon |= bit;
  return carbon;
}

ModifierFlags modifierFlags(int carbonModifiers) {
  ModifierFlags flags;
  for (auto [flag, bit] : kModifierPairs)
    if (carbonModifiers & bit) flags |= flag;
  return flags;
}

Shortcut::Shortcut(int carbonKeyCode, int carbonModifiers)
    : carbonKeyCode(carbonKeyCode),
      carbonModifiers(HotKeys::carbonModifiers(modifierFlags(carbonModifiers))) {}

Shortcut::Shortcut(Key key, ModifierFlags modifiers)
    : carbonKeyCode(key.rawValue), carbonModifiers(HotKeys::carbonModifiers(modifiers)) {}

Shortcut Shortcut::decoded(int carbonKeyCode, int carbonModifiers) {
  Shortcut shortcut;
  shortcut.carbonKeyCode = carbonKeyCode;
  shortcut.carbonModifiers = carbonModifiers;
  return shortcut;
}

std::optional<Shortcut> Shortcut::fromEvent(const InputEvent& event) {
  if (!event.isKey() || event.keyCode < 0) return std::nullopt;
  return Shortcut(event.keyCode, HotKeys::carbonModifiers(event.modifierFlags));
}

std::string Shortcut::description() const {
  auto text = keyToCharacter(carbonKeyCode);
  return HotKeys::description(modifiers()) + (text ? uppercased(*text) : kReplacementCharacter);
}

std::string Shortcut::displayText() const {
  // Keys without a character go by the names the desktop uses for them.
  static const std::map<int, std::string> named = [] {
    std::map<int, std::string> names = {
        {Key::return_.rawValue, "return"},
        {Key::delete_.rawValue, "backspace"},
        {Key::deleteForward.rawValue, "delete"},
        {Key::end.rawValue, "end"},
        {Key::escape.rawValue, "escape"},
        {Key::help.rawValue, "Help"},
        {Key::home.rawValue, "home"},
        {Key::space.rawValue, "space"},
        {Key::tab.rawValue, "tab"},
        {Key::pageUp.rawValue, "pageup"},
        {Key::pageDown.rawValue, "pagedown"},
        {Key::upArrow.rawValue, "up"},
        {Key::rightArrow.rawValue, "right"},
        {Key::downArrow.rawValue, "down"},
        {Key::leftArrow.rawValue, "left"},
    };
    for (const auto& [code, text] : keyDisplayTexts())
      if (text.size() > 1 && text[0] == 'F') names.emplace(code, "f" + text.substr(1));
    return names;
  }();
  std::string key;
  if (auto it = named.find(carbonKeyCode); it != named.end()) {
    key = it->second;
  } else if (auto text = keyToCharacter(carbonKeyCode)) {
    // A lone ASCII letter stays lower case: upper case would read as the letter with Shift.
    key = text->size() == 1 ? lowercased(*text) : uppercased(*text);
  } else {
    key = kReplacementCharacter;
  }
  return appkit::KeyEquivalent(key, modifiers()).displayText();
}

std::string Shortcut::keyEquivalent() const {
  std::string text = keyToCharacter(carbonKeyCode).value_or("");
  if (graphemeCount(text) < 2) return text;
  const auto& special = specialKeyTexts();
  auto it = special.find(carbonKeyCode);
  return it == special.end() ? std::string() : it->second;
}

std::string Shortcut::json() const {
  nlohmann::ordered_json object;
  object["carbonKeyCode"] = carbonKeyCode;
  object["carbonModifiers"] = carbonModifiers;
  return object.dump();
}

std::optional<Shortcut> Shortcut::fromJSON(std::string_view text) {
  auto object = nlohmann::json::parse(text, nullptr, false);
  if (!object.is_object()) return std::nullopt;
  auto code = object.find("carbonKeyCode");
  auto modifiers = object.find("carbonModifiers");
  if (code == object.end() || modifiers == object.end() || !code->is_number_integer() ||
      !modifiers->is_number_integer())
    return std::nullopt;
  // Values beyond int come only from hand-edited files.
  const auto keyCode = code->get<std::int64_t>();
  const auto bits = modifiers->get<std::int64_t>();
  if (keyCode < INT32_MIN || keyCode > INT32_MAX || bits < INT32_MIN || bits > INT32_MAX)
    return std::nullopt;
  return decoded(static_cast<int>(keyCode), static_cast<int>(bits));
}

std::string description(ModifierFlags flags) {
  std::string text;
  if (flags.contains(ModifierFlags::control)) text += "\u2303";
  if (flags.contains(ModifierFlags::option)) text += "\u2325";
  if (flags.contains(ModifierFlags::shift)) text += "\u21E7";
  if (flags.contains(ModifierFlags::command)) text += "\u2318";
  if (flags.contains(ModifierFlags::function)) text += "\U0001F310\uFE0E";
  return text;
}

}  // namespace HotKeys
