#pragma once

#include <optional>

#include "HotKeys/InputEvent.h"
#include "ui/Input.h"

namespace HotKeys {

// A key press of the view layer as the recorder sees it: the key's position (virtual key code of
// the physical key, or found through the current layout from what the key types when the
// platform names no key; -1 when it has none), the modifiers as event flags (Alt is option,
// Super command) and the keys it treats specially. A modifier pressed alone only changes flags.
InputEvent inputEventFrom(const ui::KeyEvent& event);
// A button release as the recorder sees it (location in the field's coordinates); nothing for
// the middle button, which the recorder does not watch.
std::optional<InputEvent> mouseUpEventFrom(const ui::PointerEvent& event);

}  // namespace HotKeys
