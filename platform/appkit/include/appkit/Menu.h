#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "appkit/KeyEquivalent.h"

namespace appkit {

class Menu;

// One entry of a menu: an action with a title and an optional shortcut, a separator, or a
// submenu.
struct MenuItem {
  std::string title;
  KeyEquivalent keyEquivalent;
  std::function<void()> action;
  bool enabled = true;
  bool isSeparator = false;
  std::shared_ptr<const Menu> submenu;

  static MenuItem command(std::string title, KeyEquivalent keyEquivalent,
                          std::function<void()> action);
  static MenuItem separator();
  static MenuItem submenuItem(std::string title, Menu menu);
};

// A menu as a value: the status item shows it, and the shortcut recorder asks it whether a
// shortcut is taken.
class Menu {
 public:
  Menu() = default;
  explicit Menu(std::vector<MenuItem> items) : items_(std::move(items)) {}

  Menu& add(MenuItem item);
  const std::vector<MenuItem>& items() const { return items_; }

  // The first enabled or disabled item, submenus included (depth first), whose key equivalent
  // is `pressed`.
  const MenuItem* itemWithKeyEquivalent(const KeyEquivalent& pressed) const;
  // Runs the action of that item when it is enabled; true when one ran.
  bool performKeyEquivalent(const KeyEquivalent& pressed) const;

 private:
  std::vector<MenuItem> items_;
};

}  // namespace appkit
