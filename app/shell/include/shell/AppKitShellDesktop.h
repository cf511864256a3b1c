#pragma once

#include <functional>
#include <map>
#include <memory>

#include "accessibility/AtspiAccessibility.h"
#include "appkit/StatusItem.h"
#include "appkit/Window.h"
#include "shell/ShellDesktop.h"

namespace shell {

// The desktop of the running program: the tray icon, the program's titled windows by scene,
// the accessibility bus and the floating panel window.
class AppKitShellDesktop : public ShellDesktop {
 public:
  struct SceneWindow {
    std::string name;  // "Settings", "Onboarding", "PromptEditor"
    appkit::WindowDescription description;
  };
  // `accessibilityBus` may be null: the capture has none.
  AppKitShellDesktop(std::shared_ptr<accessibility::AtspiAccessibility> accessibilityBus,
                     panel::FloatingViewOptions panelOptions);

  void declareScene(Scene scene, SceneWindow window);
  appkit::WindowRegistry& windows() { return windows_; }
  appkit::StatusItem* statusItem() const { return statusItem_.get(); }

  void showStatusItem(const std::string& symbolName, const std::string& accessibleName,
                      appkit::Menu menu) override;
  void setStatusMenu(appkit::Menu menu) override;
  bool hasTray() override;
  void openScene(Scene scene) override;
  void whenAccessibilityBusKnown(
      std::function<void(accessibility::AccessibilityBus)> told) override;
  void enableAccessibilityBus(std::function<void(bool enabled)> done) override;
  std::unique_ptr<panel::FloatingPanel> makeFloatingPanel(
      std::shared_ptr<core::DataModel> model) override;
  void terminate() override;

 private:
  std::shared_ptr<accessibility::AtspiAccessibility> accessibilityBus_;
  panel::FloatingViewOptions panelOptions_;
  appkit::WindowRegistry windows_;
  std::map<Scene, std::string> sceneNames_;
  std::unique_ptr<appkit::StatusItem> statusItem_;
};

}  // namespace shell
