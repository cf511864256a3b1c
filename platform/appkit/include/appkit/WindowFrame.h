#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ui/Geometry.h"

namespace foundation {
class UserDefaults;
}

namespace appkit {

// A window frame kept in the user defaults under a name, as {"x", "y", "width", "height"} in
// screen pixels.
nlohmann::json encodeFrame(const ui::Rect& frame);
// Absent for anything that is not such an object of finite numbers with a positive size.
std::optional<ui::Rect> decodeFrame(const nlohmann::json& value);

// The frame moved (and, when larger, shrunk) into the visible screen area it overlaps most, or
// into the first screen when it overlaps none, so that a frame saved on a screen that has gone
// since never opens out of reach. `minimum` is kept when the screen allows it. Unchanged without
// screens.
ui::Rect clampFrameToScreens(ui::Rect frame, const std::vector<ui::Rect>& screens,
                             ui::Size minimum = {});

// Where a window first opens: `size` reduced to the work area `area` where larger, centred in it.
ui::Rect centredFrame(ui::Size size, const ui::Rect& area);
// A window's size, or its minimum size, reduced to what the work area holds.
ui::Size sizeFittingArea(ui::Size size, const ui::Rect& area);

void saveFrame(foundation::UserDefaults& defaults, const std::string& name, const ui::Rect& frame);
std::optional<ui::Rect> savedFrame(const foundation::UserDefaults& defaults,
                                   const std::string& name);

}  // namespace appkit
