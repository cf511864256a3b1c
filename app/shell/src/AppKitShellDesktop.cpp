#include "shell/AppKitShellDesktop.h"

#include "appkit/Application.h"
#include "foundation/DispatchQueue.h"
#include "panel/AppKitPanelWindow.h"

namespace shell {

AppKitShellDesktop::AppKitShellDesktop(
    std::shared_ptr<accessibility::AtspiAccessibility> accessibilityBus,
    panel::FloatingViewOptions panelOptions)
    : accessibilityBus_(std::move(accessibilityBus)), panelOptions_(std::move(panelOptions)) {}

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

void AppKitShellDesktop::whenAccessibilityBusKnown(
    std::function<void(accessibility::AccessibilityBus)> told) {
  auto onMain = [told = std::move(told)](accessibility::AccessibilityBus bus) {
    foundation::DispatchQueue::main().async([told, bus] { told(bus); });
  };
  if (accessibilityBus_)
    accessibilityBus_->whenFirstLooked(std::move(onMain));
  else
    onMain(accessibility::AccessibilityBus::absent);
}

void AppKitShellDesktop::enableAccessibilityBus(std::function<void(bool enabled)> done) {
  auto onMain = [done = std::move(done)](bool enabled) {
    foundation::DispatchQueue::main().async([done, enabled] { done(enabled); });
  };
  if (accessibilityBus_)
    accessibilityBus_->enable(std::move(onMain));
  else
    onMain(false);
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
