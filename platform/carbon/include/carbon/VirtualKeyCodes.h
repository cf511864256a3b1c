#pragma once

#include <optional>

namespace carbon {

// Virtual key codes name physical key positions (US ANSI keyboard), whatever the layout.
// Linux knows keys by their evdev code; an X keycode is the evdev code plus 8.
// Keys that have no virtual code (Print, Pause, Menu, F21 and above...) map to nothing.
std::optional<int> evdevCodeForVirtualKey(int virtualKeyCode);
std::optional<int> virtualKeyForEvdevCode(int evdevCode);

inline constexpr int kX11KeycodeOffset = 8;

}  // namespace carbon
