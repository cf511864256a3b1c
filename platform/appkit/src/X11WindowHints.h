#pragma once

// What the window manager is told about our windows beyond what Qt says, over Qt's own xcb
// connection. Every function does nothing when the windows are not X11 windows.

#include <cstdint>
#include <optional>

namespace appkit::x11hints {

bool available();

// A compositing manager owns _NET_WM_CM_S<screen>.
bool compositorRunning();

// Before the window is mapped: it opens on the desktop shown now.
void placeOnCurrentDesktop(std::uint32_t window);
// Before the window is mapped: skip taskbar and pager, keep above, and the current desktop.
void prepareFloatingWindow(std::uint32_t window);
// After it is mapped, the same states asked of the window manager (it may have reset them).
void requestFloatingStates(std::uint32_t window);
// Asks the window manager to make the (mapped) window active; `userTime` is the time of the
// input that asked for it, also written as the window's _NET_WM_USER_TIME; 0 when unknown.
void requestActivation(std::uint32_t window, std::uint32_t userTime);
struct ScreenRect {
  int x = 0, y = 0, width = 0, height = 0;
};
// Where a window is on the screen, whoever its parent is (an embedded tray icon's parent is the
// tray); none when it cannot be told.
std::optional<ScreenRect> screenGeometry(std::uint32_t window);
// The desktop shown now, or none.
long currentDesktop();
void flush();

}  // namespace appkit::x11hints
