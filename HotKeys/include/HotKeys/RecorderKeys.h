#pragma once

#include "HotKeys/InputEvent.h"
#include "ui/Input.h"

namespace HotKeys {

// A key press of the view layer as the recorder sees it: the key's position (virtual key code,
// found through the current layout for keys that type a character; -1 when it has none), the
// modifiers as event flags (Alt is option, Super command) and the keys it treats specially.
InputEvent inputEventFrom(const ui::KeyEvent& event);

}  // namespace HotKeys
