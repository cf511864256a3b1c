#pragma once

namespace core {

// The floating panel window, as the model sees it.
class FloatingViewPanel {
 public:
  virtual ~FloatingViewPanel() = default;

  // Pinned: the panel stays open when it stops being the main window.
  virtual bool isOntop() const = 0;
  virtual bool isOpen() const = 0;
  // Unless pinned: saves the frame as "savedFrame", gives up main-window status and closes.
  virtual void resignMainWindow() = 0;
};

}  // namespace core
