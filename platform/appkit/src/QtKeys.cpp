#include "QtKeys.h"

#include <string>

namespace appkit {

std::optional<KeyEquivalent> keyEquivalentOf(const QKeyEvent& event) {
  const int key = event.key();
  const Qt::KeyboardModifiers qtModifiers = event.modifiers();
  ModifierFlags modifiers;
  if (qtModifiers & Qt::ShiftModifier) modifiers |= ModifierFlags::shift;
  if (qtModifiers & Qt::ControlModifier) modifiers |= ModifierFlags::control;
  if (qtModifiers & Qt::AltModifier) modifiers |= ModifierFlags::option;
  if (qtModifiers & Qt::MetaModifier) modifiers |= ModifierFlags::command;

  std::string name;
  switch (key) {
    case Qt::Key_Space:
      name = "space";
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      name = "return";
      break;
    case Qt::Key_Escape:
      name = "escape";
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      name = "tab";
      break;
    case Qt::Key_Backspace:
      name = "backspace";
      break;
    case Qt::Key_Delete:
      name = "delete";
      break;
    case Qt::Key_Up:
      name = "up";
      break;
    case Qt::Key_Down:
      name = "down";
      break;
    case Qt::Key_Left:
      name = "left";
      break;
    case Qt::Key_Right:
      name = "right";
      break;
    case Qt::Key_Home:
      name = "home";
      break;
    case Qt::Key_End:
      name = "end";
      break;
    case Qt::Key_PageUp:
      name = "pageup";
      break;
    case Qt::Key_PageDown:
      name = "pagedown";
      break;
    default:
      if (key >= Qt::Key_F1 && key <= Qt::Key_F35) {
        name = "f" + std::to_string(key - Qt::Key_F1 + 1);
      } else if (key > 0x20 && key < 0x7f) {
        // Qt names letter keys by their upper-case letter; the key is the lower-case one.
        const char ch = static_cast<char>(key);
        name = std::string(1, ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch);
      }
  }
  if (name.empty()) return std::nullopt;
  KeyEquivalent equivalent;
  equivalent.key = name;
  equivalent.modifiers = modifiers;
  return equivalent;
}

}  // namespace appkit
