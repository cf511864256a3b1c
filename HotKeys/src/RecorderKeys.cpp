#include "HotKeys/RecorderKeys.h"

#include <map>
#include <string>

#include "HotKeys/Key.h"
#include "HotKeys/KeyText.h"
#include "carbon/KeyboardLayout.h"
#include "carbon/VirtualKeyCodes.h"

namespace HotKeys {

using appkit::ModifierFlags;
namespace {

// What Shift makes of the US digit and punctuation keys, for layouts that report the shifted
// character.
const std::map<std::string, Key>& shiftedSymbols() {
  static const std::map<std::string, Key> symbols = {
      {"!", Key::one},         {"@", Key::two},          {"#", Key::three},
      {"$", Key::four},        {"%", Key::five},         {"^", Key::six},
      {"&", Key::seven},       {"*", Key::eight},        {"(", Key::nine},
      {")", Key::zero},        {"_", Key::minus},        {"+", Key::equal},
      {"{", Key::leftBracket}, {"}", Key::rightBracket}, {"|", Key::backslash},
      {":", Key::semicolon},   {"\"", Key::quote},       {"<", Key::comma},
      {">", Key::period},      {"?", Key::slash},        {"~", Key::backtick},
  };
  return symbols;
}

// The key that types `text` unshifted on the current layout.
int keyTyping(const std::string& text) {
  const std::string wanted = lowercased(text);
  auto layout = carbon::KeyboardLayout::current();
  for (int evdev = 1; evdev < 256; ++evdev) {
    auto code = carbon::virtualKeyForEvdevCode(evdev);
    if (!code) continue;
    auto typed = layout->unshiftedText(*code);
    if (typed && *typed == wanted) return *code;
  }
  auto shifted = shiftedSymbols().find(text);
  return shifted == shiftedSymbols().end() ? -1 : shifted->second.rawValue;
}

}  // namespace

InputEvent inputEventFrom(const ui::KeyEvent& event) {
  InputEvent result;
  result.type = InputEventType::keyDown;
  if (event.modifiers.shift) result.modifierFlags |= ModifierFlags::shift;
  if (event.modifiers.control) result.modifierFlags |= ModifierFlags::control;
  if (event.modifiers.alt) result.modifierFlags |= ModifierFlags::option;
  if (event.modifiers.super) result.modifierFlags |= ModifierFlags::command;
  result.withLevelThree = event.levelThree;
  switch (event.key) {
    case ui::Key::enter:
      result.keyCode = Key::return_.rawValue;
      break;
    case ui::Key::tab:
      result.keyCode = Key::tab.rawValue;
      result.specialKey = SpecialKey::tab;
      break;
    case ui::Key::escape:
      result.keyCode = Key::escape.rawValue;
      break;
    case ui::Key::space:
      result.keyCode = Key::space.rawValue;
      break;
    case ui::Key::backspace:
      result.keyCode = Key::delete_.rawValue;
      result.specialKey = SpecialKey::delete_;
      break;
    case ui::Key::forwardDelete:
      result.keyCode = Key::deleteForward.rawValue;
      result.specialKey = SpecialKey::deleteForward;
      break;
    case ui::Key::up:
      result.keyCode = Key::upArrow.rawValue;
      break;
    case ui::Key::down:
      result.keyCode = Key::downArrow.rawValue;
      break;
    case ui::Key::left:
      result.keyCode = Key::leftArrow.rawValue;
      break;
    case ui::Key::right:
      result.keyCode = Key::rightArrow.rawValue;
      break;
    case ui::Key::home:
      result.keyCode = Key::home.rawValue;
      break;
    case ui::Key::end:
      result.keyCode = Key::end.rawValue;
      break;
    case ui::Key::pageUp:
      result.keyCode = Key::pageUp.rawValue;
      break;
    case ui::Key::pageDown:
      result.keyCode = Key::pageDown.rawValue;
      break;
    case ui::Key::function: {
      // "F5"
      const int number = event.text.size() > 1 ? std::atoi(event.text.c_str() + 1) : 0;
      result.specialKey = SpecialKey::functionKey;
      result.functionKeyNumber = number;
      if (number >= 1 && number <= 20) result.keyCode = kFunctionKeys[number - 1].rawValue;
      break;
    }
    case ui::Key::character:
      // The key itself where the platform names it: the grab holds that key, whatever the
      // layout makes it type with the modifiers held.
      if (event.physicalKey != 0)
        result.keyCode = carbon::virtualKeyForEvdevCode(event.physicalKey).value_or(-1);
      else
        result.keyCode = keyTyping(event.text);
      break;
    case ui::Key::modifier:
      result.type = InputEventType::flagsChanged;
      break;
    case ui::Key::other:
      break;
  }
  return result;
}

std::optional<InputEvent> mouseUpEventFrom(const ui::PointerEvent& event) {
  InputEvent result;
  switch (event.button) {
    case ui::PointerButton::primary:
      result.type = InputEventType::leftMouseUp;
      break;
    case ui::PointerButton::secondary:
      result.type = InputEventType::rightMouseUp;
      break;
    case ui::PointerButton::middle:
      return std::nullopt;
  }
  result.location = event.location;
  return result;
}

}  // namespace HotKeys
