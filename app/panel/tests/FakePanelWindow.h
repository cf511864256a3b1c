#pragma once

#include <functional>
#include <string>
#include <vector>

#include "panel/PanelWindow.h"

namespace panel::testing {

// A window that records what it is asked, in order. Closing it while it is the active window
// reports a lost activation, as a window manager would hand the focus on.
class FakePanelWindow : public PanelWindow {
 public:
  void setTitle(const std::string& t) override { title = t; }
  ui::Rect frame() const override { return currentFrame; }
  void setFrame(const ui::Rect& f) override {
    calls.push_back("setFrame");
    currentFrame = f;
  }
  std::vector<ui::Rect> screens() const override { return screenList; }
  void center() override {
    calls.push_back("center");
    const ui::Rect s = screenList.front();
    currentFrame.x = s.x + (s.width - currentFrame.width) / 2;
    currentFrame.y = s.y + (s.height - currentFrame.height) / 2;
  }
  void orderFront() override {
    calls.push_back("orderFront");
    visible = true;
  }
  void makeKey() override { calls.push_back("makeKey"); }
  void close() override {
    calls.push_back("close");
    const bool wasVisible = visible;
    visible = false;
    if (wasVisible && lostActivation) lostActivation();
  }
  bool isVisible() const override { return visible; }
  void setLostActivationHandler(std::function<void()> handler) override {
    lostActivation = std::move(handler);
  }

  // Another window became active.
  void activateOther() {
    if (visible && lostActivation) lostActivation();
  }

  std::string title;
  ui::Rect currentFrame{0, 0, 612, 90};
  std::vector<ui::Rect> screenList{{0, 0, 1920, 1080}};
  std::vector<std::string> calls;
  bool visible = false;
  std::function<void()> lostActivation;
};

}  // namespace panel::testing
