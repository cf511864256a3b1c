#include "carbon/KeyboardLayout.h"

#include <cstdlib>

#include "carbon/XkbKeyboardLayout.h"
#include "foundation/NotificationCenter.h"

namespace carbon {
namespace {

std::shared_ptr<KeyboardLayout>& currentLayout() {
  static std::shared_ptr<KeyboardLayout> layout;
  return layout;
}

const std::map<int, std::string>& usTexts() {
  static const std::map<int, std::string> texts = {
      {0, "a"},  {11, "b"}, {8, "c"},  {2, "d"},  {14, "e"},  {3, "f"},  {5, "g"},  {4, "h"},
      {34, "i"}, {38, "j"}, {40, "k"}, {37, "l"}, {46, "m"},  {45, "n"}, {31, "o"}, {35, "p"},
      {12, "q"}, {15, "r"}, {1, "s"},  {17, "t"}, {32, "u"},  {9, "v"},  {13, "w"}, {7, "x"},
      {16, "y"}, {6, "z"},  {29, "0"}, {18, "1"}, {19, "2"},  {20, "3"}, {21, "4"}, {23, "5"},
      {22, "6"}, {26, "7"}, {28, "8"}, {25, "9"}, {42, "\\"}, {50, "`"}, {43, ","}, {24, "="},
      {27, "-"}, {47, "."}, {39, "'"}, {41, ";"}, {44, "/"},  {49, " "}, {33, "["}, {30, "]"},
      {82, "0"}, {83, "1"}, {84, "2"}, {85, "3"}, {86, "4"},  {87, "5"}, {88, "6"}, {89, "7"},
      {91, "8"}, {92, "9"}, {65, "."}, {75, "/"}, {81, "="},  {78, "-"}, {67, "*"}, {69, "+"},
  };
  return texts;
}

}  // namespace

std::shared_ptr<KeyboardLayout> KeyboardLayout::current() {
  auto& layout = currentLayout();
  if (!layout) {
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
      auto xkb = std::make_shared<XkbKeyboardLayout>();
      if (xkb->ok()) layout = xkb;
    }
    if (!layout) layout = TableKeyboardLayout::us();
  }
  return layout;
}

void KeyboardLayout::setCurrent(std::shared_ptr<KeyboardLayout> layout) {
  currentLayout() = std::move(layout);
  foundation::NotificationCenter::defaultCenter().post(kKeyboardLayoutDidChange);
}

std::shared_ptr<TableKeyboardLayout> TableKeyboardLayout::us() {
  return std::make_shared<TableKeyboardLayout>(usTexts());
}

std::shared_ptr<TableKeyboardLayout> TableKeyboardLayout::usWith(
    const std::map<int, std::string>& changes) {
  auto texts = usTexts();
  for (const auto& [code, text] : changes) texts[code] = text;
  return std::make_shared<TableKeyboardLayout>(std::move(texts));
}

std::optional<std::string> TableKeyboardLayout::unshiftedText(int virtualKeyCode) {
  auto it = texts_.find(virtualKeyCode);
  if (it == texts_.end()) return std::nullopt;
  return it->second;
}

}  // namespace carbon
