#pragma once

#include <string_view>

namespace accessibility::attribute {

inline constexpr std::string_view kFocusedUIElement = "AXFocusedUIElement";
inline constexpr std::string_view kSelectedText = "AXSelectedText";
inline constexpr std::string_view kSelectedTextRange = "AXSelectedTextRange";
inline constexpr std::string_view kValue = "AXValue";
inline constexpr std::string_view kSelectedTextMarkerRange = "AXSelectedTextMarkerRange";
// Parameterised by a text-marker range.
inline constexpr std::string_view kAttributedStringForTextMarkerRange =
    "AXAttributedStringForTextMarkerRange";
// The window holding a text element, as an element that a paste reaches; read-only. A window
// element itself has none.
inline constexpr std::string_view kWindow = "AXWindow";
// What kind of element it is; read-only.
inline constexpr std::string_view kRole = "AXRole";
inline constexpr std::string_view kEnhancedUserInterface = "AXEnhancedUserInterface";
inline constexpr std::string_view kManualAccessibility = "AXManualAccessibility";

}  // namespace accessibility::attribute

namespace accessibility::role {

// A terminal emulator: Ctrl+C there interrupts the running program instead of copying.
inline constexpr std::string_view kTerminal = "AXTerminal";
inline constexpr std::string_view kTextArea = "AXTextArea";
inline constexpr std::string_view kWindow = "AXWindow";

}  // namespace accessibility::role
