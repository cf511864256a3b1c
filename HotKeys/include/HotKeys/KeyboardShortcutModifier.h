#pragma once

#include <functional>

#include "HotKeys/HotKeys.h"
#include "ui/View.h"

namespace HotKeys {

// Runs `perform` for every key down and key up of the name's hot key while the view is shown.
ui::AnyView onKeyboardShortcut(ui::AnyView content, const Name& name,
                               std::function<void(EventType)> perform);
// The same for one type of event.
ui::AnyView onKeyboardShortcut(ui::AnyView content, const Name& name, EventType type,
                               std::function<void()> perform);

}  // namespace HotKeys
