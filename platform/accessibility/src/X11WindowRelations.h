#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "appkit/x11/Connection.h"

namespace accessibility::x11 {

// The process of the X client that made `window`, as the server knows it (X-Resource); none
// for remote clients or without the extension.
std::optional<int> clientProcess(appkit::x11::Connection& connection, xcb_window_t window);

// Whether `owner` (a selection owner's window, often a hidden one) belongs to the application
// window `window` of process `processIdentifier` (-1: unknown): it lies inside the window, shares
// its client leader, or was made by the same process.
bool belongsToWindow(appkit::x11::Connection& connection, xcb_window_t owner, xcb_window_t window,
                     int processIdentifier);

// Whether the window is there at all.
bool windowExists(appkit::x11::Connection& connection, xcb_window_t window);

// The window's title: _NET_WM_NAME, else WM_NAME (as its bytes stand).
std::string windowTitle(appkit::x11::Connection& connection, xcb_window_t window);

// The server time of the latest input the window's client took as the user's
// (_NET_WM_USER_TIME, on the window its _NET_WM_USER_TIME_WINDOW names where there is one).
std::optional<std::uint32_t> userTime(appkit::x11::Connection& connection, xcb_window_t window);

// The key codes that are modifiers now (Shift, Lock, Control, Mod1-5).
std::vector<std::uint32_t> modifierKeycodes(appkit::x11::Connection& connection);
// The key codes that are Shift now.
std::vector<std::uint32_t> shiftKeycodes(appkit::x11::Connection& connection);
// The key codes that move the caret now: the arrows, Home, End, Page Up and Page Down, also
// those of the keypad.
std::vector<std::uint32_t> caretKeycodes(appkit::x11::Connection& connection);

// Whether the window's class (WM_CLASS) names a terminal emulator.
bool isTerminalWindow(appkit::x11::Connection& connection, xcb_window_t window);

}  // namespace accessibility::x11
