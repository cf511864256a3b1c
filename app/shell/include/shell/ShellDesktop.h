#pragma once

#include <functional>
#include <memory>
#include <string>

#include "accessibility/AtspiAccessibility.h"
#include "appkit/Menu.h"
#include "core/DataModel.h"
#include "panel/FloatingPanel.h"
#include "shell/SceneRouter.h"

namespace shell {

// What the application delegate asks of the desktop: the tray, the windows by scene, the
// accessibility bus the capture reads through, the floating panel and the end of the program.
// The program uses the Qt and X11 one; tests record the calls.
class ShellDesktop {
 public:
  virtual ~ShellDesktop() = default;

  virtual void showStatusItem(const std::string& symbolName, const std::string& accessibleName,
                              appkit::Menu menu) = 0;
  virtual void setStatusMenu(appkit::Menu menu) = 0;
  // Whether a system tray runs to show the status item.
  virtual bool hasTray() = 0;
  // Makes the scene's window, or brings the open one forward, and activates it.
  virtual void openScene(Scene scene) = 0;
  // Where the accessibility bus stood when the program looked at it at start; `told` runs on
  // the main queue once that is known (it is looked at off the main thread).
  virtual void whenAccessibilityBusKnown(
      std::function<void(accessibility::AccessibilityBus)> told) = 0;
  // Switches the bus on for every application, the desktop's own setting; `done` runs on the
  // main queue, told whether it is on.
  virtual void enableAccessibilityBus(std::function<void(bool enabled)> done) = 0;
  virtual std::unique_ptr<panel::FloatingPanel> makeFloatingPanel(
      std::shared_ptr<core::DataModel> model) = 0;
  virtual void terminate() = 0;
};

}  // namespace shell
