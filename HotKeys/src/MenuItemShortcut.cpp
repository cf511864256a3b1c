#include "HotKeys/MenuItemShortcut.h"

#include "foundation/DispatchQueue.h"
#include "foundation/NotificationCenter.h"

namespace HotKeys {

void setShortcut(const std::shared_ptr<MenuItem>& item, const std::optional<Shortcut>& shortcut) {
  if (!item) return;
  if (!foundation::DispatchQueue::main().isCurrent()) {
    foundation::DispatchQueue::main().async([item, shortcut] { setShortcut(item, shortcut); });
    return;
  }
  item->keyEquivalent = shortcut ? shortcut->keyEquivalent() : std::string();
  item->keyEquivalentModifierMask = shortcut ? shortcut->modifiers() : ModifierFlags();
  item->keyEquivalentKeyCode =
      shortcut ? std::optional<int>(shortcut->carbonKeyCode) : std::nullopt;
  // A recorded shortcut is shown as recorded, not remapped for the layout.
  item->allowsAutomaticKeyEquivalentLocalization = !shortcut;
}

void setShortcut(const std::shared_ptr<MenuItem>& item, const std::optional<Name>& name) {
  if (!item) return;
  if (!name) {
    setShortcut(item, std::optional<Shortcut>());
    item->shortcutObserver = {};
    return;
  }
  setShortcut(item, storedShortcut(*name));
  std::weak_ptr<MenuItem> weak = item;
  item->shortcutObserver = foundation::NotificationCenter::defaultCenter().addObserver(
      kShortcutByNameDidChange, [weak, raw = name->rawValue](const foundation::Notification& n) {
        const auto* change = std::any_cast<ShortcutChange>(&n.object);
        if (!change || change->name.rawValue != raw) return;
        if (auto item = weak.lock()) setShortcut(item, storedShortcut(change->name));
      });
}

}  // namespace HotKeys
