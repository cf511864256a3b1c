#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "panel/PanelWindow.h"

namespace panel::testing {

// A window that records what it is asked, in order. Closing it while it is shown reports a
// lost activation, as a window manager would hand the focus on.
class FakePanelWindow : public PanelWindow {
 public:
  void setTitle(const std::string& t) override { title = t; }
  void setContent(ui::AnyView c) override { content = std::move(c); }
  void setMinimumSize(ui::Size s) override { minimumSize = s; }
  ui::Rect frame() const override { return currentFrame; }
  void setFrame(const ui::Rect& f) override {
    calls.push_back("setFrame");
    currentFrame = f;
  }
  void center() override {
    calls.push_back("center");
    currentFrame.x = (1920 - currentFrame.width) / 2;
    currentFrame.y = (1080 - currentFrame.height) / 2;
  }
  void saveFrame(const std::string& name) override {
    calls.push_back("saveFrame");
    saved[name] = currentFrame;
  }
  bool setFrameUsingName(const std::string& name) override {
    calls.push_back("setFrameUsingName");
    auto it = saved.find(name);
    if (it == saved.end() || !framesOverlap(it->second, screens)) return false;
    currentFrame = it->second;
    return true;
  }
  void orderFront() override {
    calls.push_back("orderFront");
    visible = true;
  }
  void makeKey(std::uint32_t time) override {
    calls.push_back("makeKey");
    userTime = time;
  }
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
  std::optional<ui::Rect> savedFrame(const std::string& name) const {
    auto it = saved.find(name);
    return it == saved.end() ? std::nullopt : std::optional<ui::Rect>(it->second);
  }

  std::string title;
  ui::AnyView content;
  ui::Size minimumSize;
  ui::Rect currentFrame{0, 0, 612, 90};
  std::map<std::string, ui::Rect> saved;
  std::vector<ui::Rect> screens{{0, 0, 1920, 1080}};
  std::vector<std::string> calls;
  std::uint32_t userTime = 0;
  bool visible = false;
  std::function<void()> lostActivation;
};

}  // namespace panel::testing
