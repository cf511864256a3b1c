#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HotKeys/Shortcut.h"
#include "appkit/ModifierFlags.h"
#include "foundation/ObservableObject.h"

namespace HotKeys {

struct Menu;

// What a menu needs to know of its items to find and trigger them by key.
struct MenuItem {
  std::string title;
  // The text shown as the item's key ("q", "⎵", U+F708 for F5).
  std::string keyEquivalent;
  ModifierFlags keyEquivalentModifierMask{ModifierFlags::command};
  // The key that triggers the item, by position; set when the item shows a shortcut, so that
  // keys whose shown text is a symbol (Space, F5, arrows) still trigger and conflict.
  std::optional<int> keyEquivalentKeyCode;
  bool allowsAutomaticKeyEquivalentLocalization = true;
  std::shared_ptr<Menu> submenu;
  // Keeps the item following a named shortcut.
  foundation::Cancellable shortcutObserver;
};

struct Menu {
  std::string title;
  std::vector<std::shared_ptr<MenuItem>> items;
};

// The first item, depth first in item order, whose key and modifiers are the shortcut's. An
// upper-case key equivalent stands for Shift.
std::shared_ptr<MenuItem> menuItemWithMatchingShortcut(const Menu& menu, const Shortcut& shortcut);

}  // namespace HotKeys
