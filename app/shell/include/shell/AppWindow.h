#pragma once

#include <string>
#include <string_view>

#include "shell/URLOpener.h"

namespace shell {

inline constexpr std::string_view kURLScheme = "quillcast";

// The windows the program opens through its own URL scheme.
enum class AppWindow { onboardingView, promptEditor };

std::string_view appWindowName(AppWindow window);
// "quillcast://" followed by the window's name.
std::string appWindowURL(AppWindow window);
// Hands the window's URL to the opener; the opener's answer is not needed.
void openWindow(AppWindow window, URLOpener& opener);

}  // namespace shell
