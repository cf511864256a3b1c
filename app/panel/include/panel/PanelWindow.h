#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/Geometry.h"

namespace panel {

// What the floating panel needs of its window: a frameless, always-on-top utility window that
// is hidden, never destroyed, when closed. Frames are in desktop coordinates. Main thread only.
class PanelWindow {
 public:
  virtual ~PanelWindow() = default;

  virtual void setTitle(const std::string& title) = 0;
  virtual ui::Rect frame() const = 0;
  virtual void setFrame(const ui::Rect& frame) = 0;
  // The work areas of the screens, the one the panel should open on first.
  virtual std::vector<ui::Rect> screens() const = 0;
  // Centres the window on the current screen.
  virtual void center() = 0;
  virtual void orderFront() = 0;
  virtual void makeKey() = 0;
  // Hides the window; its content stays as it is.
  virtual void close() = 0;
  virtual bool isVisible() const = 0;
  // Called when another window (not one of the panel's own popups) became active while the
  // panel was shown.
  virtual void setLostActivationHandler(std::function<void()> handler) = 0;
};

}  // namespace panel
