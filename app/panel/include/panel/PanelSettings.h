#pragma once

#include "foundation/UserDefaults.h"

namespace panel {

// The answer font size and Markdown switch, as the user left them.
inline constexpr const char* kFontSizeKey = "saveFontSize";
inline constexpr const char* kMarkdownOnKey = "markdownOnStorage";

inline constexpr double kDefaultFontSize = 16;
inline constexpr double kMinimumFontSize = 12;
inline constexpr double kMaximumFontSize = 40;
inline constexpr double kFontSizeStep = 2;

// Within the limits; anything that is no finite number gives the default.
double clampedFontSize(double size);
double fontSizeUp(double size);
double fontSizeDown(double size);

// What is stored, or the defaults (16, true) when nothing is.
double storedFontSize(const foundation::UserDefaults& defaults);
bool storedMarkdownOn(const foundation::UserDefaults& defaults);

}  // namespace panel
