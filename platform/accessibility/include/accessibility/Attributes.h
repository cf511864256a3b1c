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
inline constexpr std::string_view kEnhancedUserInterface = "AXEnhancedUserInterface";
inline constexpr std::string_view kManualAccessibility = "AXManualAccessibility";

}  // namespace accessibility::attribute
