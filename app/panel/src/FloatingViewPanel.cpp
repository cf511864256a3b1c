#include "panel/FloatingViewPanel.h"

#include <utility>

namespace panel {

namespace {
// Marks a section during which the window's own callbacks are ignored.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag), before_(std::exchange(flag, true)) {}
  ~BusyScope() { flag_ = before_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
  bool before_;
};
}  // namespace

FloatingViewPanel::FloatingViewPanel(std::shared_ptr<PanelWindow> window)
    : window_(std::move(window)) {
  window_->setTitle(kPanelTitle);
  window_->setLostActivationHandler([this] { lostActivation(); });
}

FloatingViewPanel::~FloatingViewPanel() {
  window_->setLostActivationHandler({});
}

void FloatingViewPanel::hide() {
  BusyScope scope(busy_);
  window_->close();
}

void FloatingViewPanel::resignMainWindow() {
  if (isOntop_ || busy_) return;
  BusyScope scope(busy_);
  window_->saveFrame(kSavedFrameName);
  isOpen_ = false;
  window_->close();
}

void FloatingViewPanel::lostActivation() {
  if (busy_ || !window_->isVisible()) return;
  resignMainWindow();
}

void FloatingViewPanel::toggle(core::DataModel& model, std::uint32_t userTime) {
  if (isOpen_) {
    isOpen_ = false;
    hide();
    return;
  }
  BusyScope scope(busy_);
  isOpen_ = true;
  window_->center();
  window_->setFrameUsingName(kSavedFrameName);
  model.didFocus = true;
  window_->orderFront();
  window_->makeKey(userTime);
}

}  // namespace panel
