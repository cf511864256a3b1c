#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/Geometry.h"
#include "ui/View.h"

namespace panel {

// What the floating panel needs of its window: a frameless, always-on-top utility window that
// is hidden, never destroyed, when closed. Frames are in desktop coordinates. Main thread only.
class PanelWindow {
 public:
  virtual ~PanelWindow() = default;

  virtual void setTitle(const std::string& title) = 0;
  virtual void setContent(ui::AnyView content) = 0;
  virtual void setMinimumSize(ui::Size size) = 0;
  virtual ui::Rect frame() const = 0;
  virtual void setFrame(const ui::Rect& frame) = 0;
  // Centres the window on the current screen.
  virtual void center() = 0;
  // Keeps the frame in the settings under `name`.
  virtual void saveFrame(const std::string& name) = 0;
  // Moves the window to the frame saved under `name`, kept within reach on the screens there
  // are now; false (nothing moves) when none was saved or it lies off every screen.
  virtual bool setFrameUsingName(const std::string& name) = 0;
  // Shows it in front.
  virtual void orderFront() = 0;
  // Gives it the keyboard; `userTime` is the X server time of the input that asked (0: unknown).
  virtual void makeKey(std::uint32_t userTime) = 0;
  // Hides the window; its content stays as it is.
  virtual void close() = 0;
  virtual bool isVisible() const = 0;
  // Called when another window (not one of the panel's own popups) became active while the
  // panel was shown.
  virtual void setLostActivationHandler(std::function<void()> handler) = 0;
};

// Whether `frame` shows on one of `screens` (any overlap of positive area).
bool framesOverlap(const ui::Rect& frame, const std::vector<ui::Rect>& screens);

}  // namespace panel
