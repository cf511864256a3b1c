#include "shell/SceneRouter.h"

#include "shell/AppWindow.h"
#include "shell/SchemeURL.h"

namespace shell {

std::optional<Scene> sceneForURL(std::string_view url) {
  const auto parsed = parseSchemeURL(url);
  if (!parsed || parsed->scheme != kURLScheme) return std::nullopt;
  if (parsed->host == appWindowName(AppWindow::onboardingView)) return Scene::onboarding;
  if (parsed->host == appWindowName(AppWindow::promptEditor)) return Scene::promptEditor;
  return std::nullopt;
}

}  // namespace shell
