#include "HotKeys/Menu.h"

#include "HotKeys/KeyText.h"

namespace HotKeys {
namespace {

bool matches(const MenuItem& item, const Shortcut& shortcut,
             const std::optional<std::string>& keyText, const std::string& keyEquivalent) {
  if (item.keyEquivalentKeyCode)
    return *item.keyEquivalentKeyCode == shortcut.carbonKeyCode &&
           item.keyEquivalentModifierMask == shortcut.modifiers();
  std::string equivalent = item.keyEquivalent;
  ModifierFlags mask = item.keyEquivalentModifierMask;
  if (shortcut.modifiers().contains(ModifierFlags::shift) && equivalent != lowercased(equivalent)) {
    equivalent = lowercased(equivalent);
    mask |= ModifierFlags::shift;
  }
  if (equivalent.empty() || mask != shortcut.modifiers()) return false;
  // The shortcut's own key equivalent also finds F-keys and symbol keys.
  return (keyText && *keyText == equivalent) || keyEquivalent == equivalent;
}

std::shared_ptr<MenuItem> search(const Menu& menu, const Shortcut& shortcut,
                                 const std::optional<std::string>& keyText,
                                 const std::string& keyEquivalent) {
  for (const auto& item : menu.items) {
    if (!item) continue;
    if (matches(*item, shortcut, keyText, keyEquivalent)) return item;
    if (item->submenu)
      if (auto hit = search(*item->submenu, shortcut, keyText, keyEquivalent)) return hit;
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<MenuItem> menuItemWithMatchingShortcut(const Menu& menu, const Shortcut& shortcut) {
  return search(menu, shortcut, keyToCharacter(shortcut.carbonKeyCode), shortcut.keyEquivalent());
}

}  // namespace HotKeys
