#pragma once

#include <functional>
#include <map>
#include <memory>

#include "accessibility/Accessibility.h"
#include "appkit/StatusItem.h"
#include "appkit/Window.h"
#include "shell/ShellDesktop.h"

namespace shell {

// The desktop of the running program: the tray icon, the program's titled windows by scene,
// the capture backend's trust check and the floating panel window.
class AppKitShellDesktop : public ShellDesktop {
 public:
  struct SceneWindow {
    std::string name;  // "Settings", "Onboarding", "PromptEditor"
    appkit::WindowDescription description;
  };
  AppKitShellDesktop(std::shared_ptr<accessibility::Accessibility> accessibility,
                     panel::FloatingViewOptions panelOptions);

  void declareScene(Scene scene, SceneWindow window);
  appkit::WindowRegistry& windows() { return windows_; }
  appkit::StatusItem* statusItem() const { return statusItem_.get(); }

  void showStatusItem(const std::string& symbolName, const std::string& accessibleName,
                      appkit::Menu menu) override;
  void setStatusMenu(appkit::Menu menu) override;
  bool hasTray() override;
  void openScene(Scene scene) override;
  bool isProcessTrusted() override;
  std::unique_ptr<panel::FloatingPanel> makeFloatingPanel(
      std::shared_ptr<core::DataModel> model) override;
  void terminate() override;

 private:
  std::shared_ptr<accessibility::Accessibility> accessibility_;
  panel::FloatingViewOptions panelOptions_;
  appkit::WindowRegistry windows_;
  std::map<Scene, std::string> sceneNames_;
  std::unique_ptr<appkit::StatusItem> statusItem_;
};

}  // namespace shell
