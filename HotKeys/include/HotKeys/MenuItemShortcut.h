#pragma once

#include <memory>
#include <optional>

#include "HotKeys/HotKeys.h"
#include "HotKeys/Menu.h"

namespace HotKeys {

// Shows the shortcut as the item's key (text, modifiers, and the key code that triggers it);
// none clears them. From another thread the change is made on the main queue.
void setShortcut(const std::shared_ptr<MenuItem>& item, const std::optional<Shortcut>& shortcut);
// Shows the name's shortcut and follows its later changes for as long as the item lives; no
// name clears the item and stops following.
void setShortcut(const std::shared_ptr<MenuItem>& item, const std::optional<Name>& name);

}  // namespace HotKeys
