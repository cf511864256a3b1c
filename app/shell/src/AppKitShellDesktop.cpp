#include "shell/AppKitShellDesktop.h"

#include "appkit/Application.h"
#include "foundation/DispatchQueue.h"
#include "panel/AppKitPanelWindow.h"

namespace shell {

AppKitShellDesktop::AppKitShellDesktop(std::shared_ptr<accessibility::Accessibility> accessibility,
                                       panel::FloatingViewOptions panelOptions)
    : accessibility_(std::move(accessibility)), panelOptions_(std::move(panelOptions)) {}

void AppKitShellDesktop::declareScene(Scene scene, SceneWindow window) {
  sceneNames_[scene] = window.name;
  windows_.declare(window.name, std::move(window.description));
}

void AppKitShellDesktop::showStatusItem(const std::string& symbolName,
                                        const std::string& accessibleName, appkit::Menu menu) {
  statusItem_ = std::make_unique<appkit::StatusItem>(symbolName, accessibleName);
  statusItem_->setMenu(std::move(menu));
}

void AppKitShellDesktop::setStatusMenu(appkit::Menu menu) {
  if (statusItem_) statusItem_->setMenu(std::move(menu));
}

bool AppKitShellDesktop::hasTray() {
  return statusItem_ && statusItem_->trayRuns();
}

void AppKitShellDesktop::openScene(Scene scene) {
  const auto it = sceneNames_.find(scene);
  if (it != sceneNames_.end()) windows_.open(it->second);
}

bool AppKitShellDesktop::isProcessTrusted() {
  return accessibility_ && accessibility_->isProcessTrusted();
}

std::unique_ptr<panel::FloatingPanel> AppKitShellDesktop::makeFloatingPanel(
    std::shared_ptr<core::DataModel> model) {
  auto window = std::make_shared<panel::AppKitPanelWindow>(
      ui::Rect{0, 0, panel::kPanelWidth, panel::kPanelRequestedHeight});
  auto made = panel::createFloatingPanel(std::move(model), window, panelOptions_);
  // What the first show would build while the user waits is built on the loop's next turn,
  // once launching is done.
  foundation::DispatchQueue::main().async([weak = std::weak_ptr(window)] {
    if (auto prepared = weak.lock()) prepared->panel().prepare();
  });
  return made;
}

void AppKitShellDesktop::terminate() {
  if (auto* application = appkit::Application::shared()) application->terminate();
}

}  // namespace shell
