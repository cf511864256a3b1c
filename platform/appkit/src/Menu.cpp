#include "appkit/Menu.h"

namespace appkit {

MenuItem MenuItem::command(std::string title, KeyEquivalent keyEquivalent,
                           std::function<void()> action) {
  MenuItem item;
  item.title = std::move(title);
  item.keyEquivalent = std::move(keyEquivalent);
  item.action = std::move(action);
  return item;
}

MenuItem MenuItem::submenuItem(std::string title, Menu menu) {
  MenuItem item;
  item.title = std::move(title);
  item.submenu = std::make_shared<const Menu>(std::move(menu));
  return item;
}

MenuItem MenuItem::separator() {
  MenuItem item;
  item.isSeparator = true;
  return item;
}

Menu& Menu::add(MenuItem item) {
  items_.push_back(std::move(item));
  return *this;
}

const MenuItem* Menu::itemWithKeyEquivalent(const KeyEquivalent& pressed) const {
  for (const auto& item : items_) {
    if (item.isSeparator) continue;
    if (item.keyEquivalent.matches(pressed)) return &item;
    if (item.submenu)
      if (const MenuItem* found = item.submenu->itemWithKeyEquivalent(pressed)) return found;
  }
  return nullptr;
}

bool Menu::performKeyEquivalent(const KeyEquivalent& pressed) const {
  const MenuItem* item = itemWithKeyEquivalent(pressed);
  if (!item || !item->enabled || !item->action) return false;
  item->action();
  return true;
}

}  // namespace appkit
