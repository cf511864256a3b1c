#include "shell/AppWindow.h"

#include "foundation/URL.h"

namespace shell {

std::string_view appWindowName(AppWindow window) {
  switch (window) {
    case AppWindow::onboardingView:
      return "onboardingView";
    case AppWindow::promptEditor:
      return "promptEditor";
  }
  return {};
}

std::string appWindowURL(AppWindow window) {
  return std::string(kURLScheme) + "://" + std::string(appWindowName(window));
}

void openWindow(AppWindow window, URLOpener& opener) {
  const std::string text = appWindowURL(window);
  if (!foundation::URL::parse(text)) return;
  opener.open(text);
}

}  // namespace shell
