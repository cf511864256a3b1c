#include "shell/X11CaptureServices.h"

#include "accessibility/AtspiAccessibility.h"
#include "accessibility/DesktopAccessibility.h"
#include "accessibility/X11Accessibility.h"
#include "accessibility/X11KeyEventPoster.h"
#include "appkit/X11Workspace.h"

namespace shell {
namespace {

// Keeps the pieces the accessibility layer refers to alive for as long as it is: the
// accessibility bus first, X11 for what is not on it.
struct X11AccessibilityHolder {
  X11AccessibilityHolder(std::shared_ptr<appkit::Pasteboard> clipboard,
                         std::shared_ptr<appkit::Workspace> desktop,
                         std::shared_ptr<accessibility::KeyEventPoster> poster,
                         std::shared_ptr<accessibility::AtspiAccessibility> bus)
      : pasteboard(std::move(clipboard)),
        workspace(std::move(desktop)),
        keys(std::move(poster)),
        x11(*pasteboard, *workspace, *keys),
        accessibility(std::move(bus), x11, *workspace) {}

  std::shared_ptr<appkit::Pasteboard> pasteboard;
  std::shared_ptr<appkit::Workspace> workspace;
  std::shared_ptr<accessibility::KeyEventPoster> keys;
  accessibility::X11Accessibility x11;
  accessibility::DesktopAccessibility accessibility;
};

}  // namespace

core::CaptureServices x11CaptureServices(
    core::CaptureServices given,
    std::shared_ptr<accessibility::AtspiAccessibility> accessibilityBus) {
  if (!given.pasteboard) given.pasteboard = appkit::Pasteboard::general();
  if (!given.workspace) given.workspace = std::make_shared<appkit::X11Workspace>();
  if (!given.keyEventPoster) {
    given.keyEventPoster = std::make_shared<accessibility::X11KeyEventPoster>();
  }
  if (!given.accessibility) {
    auto holder = std::make_shared<X11AccessibilityHolder>(
        given.pasteboard, given.workspace, given.keyEventPoster, std::move(accessibilityBus));
    given.accessibility =
        std::shared_ptr<accessibility::Accessibility>(holder, &holder->accessibility);
  }
  return given;
}

}  // namespace shell
