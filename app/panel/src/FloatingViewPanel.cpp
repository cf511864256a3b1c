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

FloatingViewPanel::FloatingViewPanel(std::shared_ptr<PanelWindow> window,
                                     foundation::UserDefaults& defaults)
    : window_(std::move(window)), frames_(defaults) {
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
  frames_.save(kSavedFrameName, window_->frame());
  isOpen_ = false;
  window_->close();
}

void FloatingViewPanel::lostActivation() {
  if (busy_ || !window_->isVisible()) return;
  resignMainWindow();
}

void FloatingViewPanel::toggle(core::DataModel& model) {
  if (isOpen_) {
    isOpen_ = false;
    hide();
    return;
  }
  BusyScope scope(busy_);
  isOpen_ = true;
  window_->center();
  if (auto frame = frames_.restorable(kSavedFrameName, window_->screens()))
    window_->setFrame(*frame);
  model.didFocus = true;
  window_->orderFront();
  window_->makeKey();
}

}  // namespace panel
