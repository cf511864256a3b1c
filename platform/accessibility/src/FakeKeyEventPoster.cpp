#include "accessibility/FakeKeyEventPoster.h"

namespace accessibility {

bool FakeKeyEventPoster::post(const KeyEvent& event) {
  std::function<void(const KeyEvent&)> handler;
  {
    std::lock_guard lock(mutex_);
    if (fails_) return false;
    posted_.push_back(event);
    handler = onPost_;
  }
  if (handler) handler(event);
  return true;
}

std::vector<KeyEvent> FakeKeyEventPoster::posted() const {
  std::lock_guard lock(mutex_);
  return posted_;
}

void FakeKeyEventPoster::setFails(bool fails) {
  std::lock_guard lock(mutex_);
  fails_ = fails;
}

void FakeKeyEventPoster::setOnPost(std::function<void(const KeyEvent&)> handler) {
  std::lock_guard lock(mutex_);
  onPost_ = std::move(handler);
}

}  // namespace accessibility
