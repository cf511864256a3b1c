#include "panel/FloatingPanel.h"

#include <algorithm>

namespace panel {

FloatingPanel::FloatingPanel(std::shared_ptr<core::DataModel> model,
                             std::shared_ptr<PanelWindow> window, FloatingViewOptions options)
    : model_(std::move(model)) {
  foundation::UserDefaults& defaults =
      options.defaults ? *options.defaults : foundation::UserDefaults::standard();
  panel_ = std::make_shared<FloatingViewPanel>(window, defaults);
  options.onTopChanged = [panel = std::weak_ptr<FloatingViewPanel>(panel_),
                          next = std::move(options.onTopChanged)](bool onTop) {
    if (auto p = panel.lock()) p->setOnTop(onTop);
    if (next) next(onTop);
  };
  content_ = std::make_unique<FloatingViewController>(model_, std::move(options));
  // Asked for 612 × 90; the content's least height wins.
  const double height = std::max(kPanelRequestedHeight, content_->minimumHeight(kPanelWidth));
  window->setFrame({0, 0, kPanelWidth, height});
  content_->setSize({kPanelWidth, height});
  model_->FloatingViewPanel = panel_;
}

FloatingPanel::~FloatingPanel() {
  if (model_->FloatingViewPanel.get() == panel_) model_->FloatingViewPanel = nullptr;
}

void FloatingPanel::toggle() {
  panel_->toggle(*model_);
  content_->update();
}

std::unique_ptr<FloatingPanel> createFloatingPanel(std::shared_ptr<core::DataModel> model,
                                                   std::shared_ptr<PanelWindow> window,
                                                   FloatingViewOptions options) {
  return std::make_unique<FloatingPanel>(std::move(model), std::move(window), std::move(options));
}

}  // namespace panel
