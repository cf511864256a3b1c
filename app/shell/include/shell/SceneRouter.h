#pragma once

#include <optional>
#include <string_view>

namespace shell {

// The windows of the program that are opened by name, one each.
enum class Scene { settings, onboarding, promptEditor };

// The scene a "quillcast" URL asks for: routed on the host exactly ("onboardingView",
// "promptEditor"); any other URL opens nothing.
std::optional<Scene> sceneForURL(std::string_view url);

}  // namespace shell
