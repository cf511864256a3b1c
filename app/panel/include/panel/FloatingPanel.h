#pragma once

#include <memory>

#include "core/DataModel.h"
#include "panel/FloatingViewController.h"
#include "panel/FloatingViewPanel.h"
#include "panel/PanelWindow.h"

namespace panel {

// The floating panel as the application holds it: the window with its lifecycle and the
// content inside it. Made once at launch, hidden until the hot key shows it.
class FloatingPanel {
 public:
  FloatingPanel(std::shared_ptr<core::DataModel> model, std::shared_ptr<PanelWindow> window,
                FloatingViewOptions options);
  ~FloatingPanel();

  // The hot key: closes an open panel, opens a closed one. `userTime` is the X server time of
  // the key press (0: unknown).
  void toggle(std::uint32_t userTime = 0);
  // Closes the panel as losing activation would: unless it is pinned.
  void close() { panel_->resignMainWindow(); }

  FloatingViewPanel& panel() { return *panel_; }
  FloatingViewController& content() { return *content_; }

 private:
  std::shared_ptr<core::DataModel> model_;
  std::shared_ptr<FloatingViewPanel> panel_;
  std::unique_ptr<FloatingViewController> content_;
};

// Makes the panel in `window` and stores it in the model (`FloatingViewPanel`).
std::unique_ptr<FloatingPanel> createFloatingPanel(std::shared_ptr<core::DataModel> model,
                                                   std::shared_ptr<PanelWindow> window,
                                                   FloatingViewOptions options = {});
// The same in the desktop's floating window (needs the application object).
std::unique_ptr<FloatingPanel> createFloatingPanel(std::shared_ptr<core::DataModel> model,
                                                   FloatingViewOptions options = {});

}  // namespace panel
