#pragma once

#include <memory>

#include "appkit/Panel.h"
#include "panel/PanelWindow.h"

namespace panel {

// The panel's window on the desktop: the platform's floating panel.
class AppKitPanelWindow final : public PanelWindow {
 public:
  explicit AppKitPanelWindow(ui::Rect contentRect);

  void setTitle(const std::string& title) override { panel_.setTitle(title); }
  void setContent(ui::AnyView content) override { panel_.setContent(std::move(content)); }
  void setMinimumSize(ui::Size size) override { panel_.setMinimumSize(size); }
  ui::Rect frame() const override { return panel_.frame(); }
  void setFrame(const ui::Rect& frame) override { panel_.setFrame(frame); }
  void center() override { panel_.center(); }
  void saveFrame(const std::string& name) override { panel_.saveFrame(name); }
  bool setFrameUsingName(const std::string& name) override;
  void orderFront() override { panel_.orderFront(); }
  void makeKey(std::uint32_t userTime) override { panel_.makeKey(userTime); }
  void close() override { panel_.close(); }
  bool isVisible() const override { return panel_.isVisible(); }
  void setLostActivationHandler(std::function<void()> handler) override {
    panel_.setLostActivationHandler(std::move(handler));
  }

  appkit::Panel& panel() { return panel_; }

 private:
  appkit::Panel panel_;
};

}  // namespace panel
