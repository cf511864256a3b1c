#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/DataModel.h"
#include "core/FloatingViewPanel.h"
#include "panel/PanelWindow.h"

namespace panel {

inline constexpr const char* kPanelTitle = "Quillcast Floating";
inline constexpr const char* kSavedFrameName = "savedFrame";
// Asked for at creation; the content's own minimum height wins.
inline constexpr double kPanelWidth = 612;
inline constexpr double kPanelRequestedHeight = 90;

// The one floating window of the assistant: shown and hidden by the hot key, closed when it
// loses activation unless pinned. Closing hides it; the content survives. Main thread only.
class FloatingViewPanel : public core::FloatingViewPanel {
 public:
  explicit FloatingViewPanel(std::shared_ptr<PanelWindow> window);
  ~FloatingViewPanel() override;

  bool isOpen() const override { return isOpen_; }
  bool isOntop() const override { return isOntop_; }
  void setOnTop(bool onTop) { isOntop_ = onTop; }

  // Unless pinned: saves the frame as "savedFrame", clears isOpen and hides.
  void resignMainWindow() override;

  // The hot key: hides an open panel (pinned or not, nothing saved); otherwise centres it,
  // puts it where it was last saved, asks the input line for focus and shows it. `userTime` is
  // the X server time of the hot key.
  void toggle(core::DataModel& model, std::uint32_t userTime = 0);

  PanelWindow& window() const { return *window_; }

 private:
  void hide();
  void lostActivation();

  std::shared_ptr<PanelWindow> window_;
  bool isOpen_ = false;
  bool isOntop_ = false;
  // Set while this object itself hides or resigns: what that causes is no loss of activation.
  bool busy_ = false;
};

}  // namespace panel
