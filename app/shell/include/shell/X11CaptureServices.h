#pragma once

#include <memory>

#include "accessibility/AtspiAccessibility.h"
#include "core/CaptureServices.h"

namespace shell {

// `given` with the X11 desktop in the places it leaves empty: the general pasteboard, the
// workspace, the key poster and the accessibility layer (`accessibilityBus` where there is one,
// else X11 through the pasteboard, workspace and key poster the result holds). Opens X
// connections: call it once, at start.
core::CaptureServices x11CaptureServices(
    core::CaptureServices given = {},
    std::shared_ptr<accessibility::AtspiAccessibility> accessibilityBus = nullptr);

}  // namespace shell
