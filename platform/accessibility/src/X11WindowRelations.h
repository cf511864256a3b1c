#pragma once

#include <xcb/xcb.h>

#include <optional>
#include <string>

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

// Whether the window's class (WM_CLASS) names a terminal emulator.
bool isTerminalWindow(appkit::x11::Connection& connection, xcb_window_t window);

}  // namespace accessibility::x11
