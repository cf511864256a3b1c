#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace carbon {

// Posted on the default notification centre, on the main thread, when the keys type something
// else: the desktop switched layouts or loaded another keymap, or the current layout was
// replaced.
inline constexpr const char* kKeyboardLayoutDidChange = "carbon_keyboardLayoutDidChange";

// What the keys of the user's keyboard layout type. Main thread only.
class KeyboardLayout {
 public:
  virtual ~KeyboardLayout() = default;

  // The text the key types without modifiers on the current ASCII-capable layout (for a
  // Cyrillic or Greek layout, the first Latin one the keyboard has), or nothing.
  virtual std::optional<std::string> unshiftedText(int virtualKeyCode) = 0;

  // The X11 keyboard when there is a display, else a US layout. Made on first use.
  static std::shared_ptr<KeyboardLayout> current();
  // Replaces the current layout (tests), and says so; nullptr makes current() choose again.
  static void setCurrent(std::shared_ptr<KeyboardLayout> layout);
};

// A fixed table from virtual key code to text.
class TableKeyboardLayout : public KeyboardLayout {
 public:
  explicit TableKeyboardLayout(std::map<int, std::string> texts) : texts_(std::move(texts)) {}
  // The US ANSI layout.
  static std::shared_ptr<TableKeyboardLayout> us();
  // The US layout with some keys typing something else.
  static std::shared_ptr<TableKeyboardLayout> usWith(const std::map<int, std::string>& changes);

  std::optional<std::string> unshiftedText(int virtualKeyCode) override;

 private:
  std::map<int, std::string> texts_;
};

}  // namespace carbon
