#pragma once

// What the window manager is told about our windows beyond what Qt says, over Qt's own xcb
// connection. Every function does nothing when the windows are not X11 windows.

#include <cstdint>
#include <optional>

namespace appkit::x11hints {

bool available();

// The names the hints use. Each name asked of the server costs a wait for it, on the main
// thread: a window shown often asks them once, all in one round trip.
struct Atoms {
  std::uint32_t wmState = 0, skipTaskbar = 0, skipPager = 0, above = 0;
  std::uint32_t currentDesktop = 0, wmDesktop = 0, userTime = 0, activeWindow = 0;
  std::uint32_t compositorSelection = 0;
};
// None without an X11 connection.
std::optional<Atoms> internAtoms();

// What the desktop is like just before a window is shown, asked in one round trip.
struct Surroundings {
  bool compositing = false;
  long currentDesktop = -1;  // none: -1
};
Surroundings surroundings(const Atoms& atoms);

// A compositing manager owns _NET_WM_CM_S<screen>.
bool compositorRunning();

// Before the window is mapped: it opens on the desktop shown now.
void placeOnCurrentDesktop(std::uint32_t window);
// Before the window is mapped: skip taskbar and pager, keep above, and the desktop shown now.
void prepareFloatingWindow(std::uint32_t window, const Atoms& atoms, long currentDesktop);
// After it is mapped, the same states asked of the window manager (it may have reset them).
void requestFloatingStates(std::uint32_t window, const Atoms& atoms);
// Asks the window manager to make the (mapped) window active; `userTime` is the time of the
// input that asked for it, also written as the window's _NET_WM_USER_TIME; 0 when unknown.
void requestActivation(std::uint32_t window, std::uint32_t userTime);
void requestActivation(std::uint32_t window, const Atoms& atoms, std::uint32_t userTime);
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
