#include "HotKeys/RecorderTexts.h"

#include <array>
#include <utility>

namespace HotKeys {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kTexts{{
    {"record_shortcut", "Record Shortcut"},
    {"press_shortcut", "Press Shortcut"},
    {"keyboard_shortcut_used_by_menu_item",
     "This shortcut cannot be used because the menu item \u201C%@\u201D already uses it."},
    {"keyboard_shortcut_used_by_system",
     "This shortcut cannot be used because the system or another program already uses it."},
    {"keyboard_shortcuts_can_be_changed",
     "Most system shortcuts can be changed in your desktop's keyboard settings."},
    {"keyboard_shortcut_with_altgr",
     "This shortcut cannot be used because a global shortcut cannot include AltGr."},
    {"keyboard_shortcut_without_altgr", "Hold Ctrl, Alt, Shift or Super with the key instead."},
}};

}  // namespace

std::string localized(std::string_view key) {
  for (auto [name, text] : kTexts)
    if (name == key) return std::string(text);
  return std::string(key);
}

std::string formatted(std::string_view format, std::string_view argument) {
  constexpr std::string_view kPlaceholder = "%@";
  std::string result;
  std::size_t from = 0;
  for (auto at = format.find(kPlaceholder); at != std::string_view::npos;
       at = format.find(kPlaceholder, from)) {
    result.append(format.substr(from, at - from));
    result.append(argument);
    from = at + kPlaceholder.size();
  }
  result.append(format.substr(from));
  return result;
}

}  // namespace HotKeys
