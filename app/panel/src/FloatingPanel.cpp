#include "panel/FloatingPanel.h"

#include <algorithm>

#include "panel/AppKitPanelWindow.h"

namespace panel {

FloatingPanel::FloatingPanel(std::shared_ptr<core::DataModel> model,
                             std::shared_ptr<PanelWindow> window, FloatingViewOptions options)
    : model_(std::move(model)) {
  panel_ = std::make_shared<FloatingViewPanel>(window);
  options.onTopChanged = [panel = std::weak_ptr<FloatingViewPanel>(panel_),
                          next = std::move(options.onTopChanged)](bool onTop) {
    if (auto p = panel.lock()) p->setOnTop(onTop);
    if (next) next(onTop);
  };
  content_ = std::make_unique<FloatingViewController>(model_, std::move(options));
  // Asked for 612 × 90; the content's least height wins.
  const double minimum = content_->minimumHeight(kPanelWidth);
  const double height = std::max(kPanelRequestedHeight, minimum);
  window->setMinimumSize({kConversationMinimumSide + 2 * kPanelPadding, minimum});
  window->setFrame({0, 0, kPanelWidth, height});
  window->setContent(content_->view());
  model_->FloatingViewPanel = panel_;
}

FloatingPanel::~FloatingPanel() {
  if (model_->FloatingViewPanel.get() == panel_) model_->FloatingViewPanel = nullptr;
}

void FloatingPanel::toggle(std::uint32_t userTime) {
  panel_->toggle(*model_, userTime);
  content_->update();
}

std::unique_ptr<FloatingPanel> createFloatingPanel(std::shared_ptr<core::DataModel> model,
                                                   std::shared_ptr<PanelWindow> window,
                                                   FloatingViewOptions options) {
  return std::make_unique<FloatingPanel>(std::move(model), std::move(window), std::move(options));
}

std::unique_ptr<FloatingPanel> createFloatingPanel(std::shared_ptr<core::DataModel> model,
                                                   FloatingViewOptions options) {
  auto window =
      std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, kPanelWidth, kPanelRequestedHeight});
  return createFloatingPanel(std::move(model), std::move(window), std::move(options));
}

}  // namespace panel
