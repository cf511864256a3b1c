#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "accessibility/KeyEventPoster.h"

namespace accessibility {

// Records the posted events. A test reacts to them as the application in front would (for the
// copy shortcut: put the selection on the fake pasteboard) through onPost.
class FakeKeyEventPoster : public KeyEventPoster {
 public:
  bool post(const KeyEvent& event) override;

  std::vector<KeyEvent> posted() const;
  // While set, no event can be made: post fails and records nothing.
  void setFails(bool fails);
  // Runs for every posted event, on the posting thread, after it was recorded.
  void setOnPost(std::function<void(const KeyEvent&)> handler);

 private:
  mutable std::mutex mutex_;
  std::vector<KeyEvent> posted_;
  bool fails_ = false;
  std::function<void(const KeyEvent&)> onPost_;
};

}  // namespace accessibility
