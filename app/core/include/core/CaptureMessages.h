#pragma once

#include <string_view>

namespace core {

// The capture's texts in the panel.
inline constexpr std::string_view kContextFoundStatus = "Context found press esc to remove context";
inline constexpr std::string_view kNoSelectionStatus = "No selection";
inline constexpr std::string_view kNoFocusStatus = "No focus found";
// While an application is slow to tell its selection; nothing is sent before it has.
inline constexpr std::string_view kReadingSelectionStatus = "Reading the selection…";

// Shown when the desktop's accessibility bus is there but switched off: without it only the
// primary selection of the window in front can be read.
inline constexpr std::string_view kAccessibilityMessage =
    "You have not enabled accessibility access. Quillcast requires accessibility access to "
    "capture what is on the screen. Turn on assistive technologies in your desktop's "
    "accessibility settings (or run: gsettings set org.gnome.desktop.interface "
    "toolkit-accessibility true), then restart the applications you write in.";

}  // namespace core
