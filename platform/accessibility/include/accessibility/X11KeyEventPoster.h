#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "accessibility/KeyEventPoster.h"

namespace accessibility {

// Posts key events through XTest. X11 has no modifier flags on synthetic events: the modifier
// keys are pressed around the key (Command is Control here), and modifiers the user still holds
// (the hot key's) are released for the key stroke and pressed again after it.
class X11KeyEventPoster : public KeyEventPoster {
 public:
  explicit X11KeyEventPoster(std::string displayName = {});
  ~X11KeyEventPoster() override;

  // False without a display or without the XTest extension.
  bool ok() const;
  bool post(const KeyEvent& event) override;

 private:
  struct Display;
  std::mutex mutex_;
  std::unique_ptr<Display> display_;
  // Between a key down and its key up.
  std::vector<std::uint8_t> pressedModifiers_;
  std::vector<std::uint8_t> releasedModifiers_;
};

}  // namespace accessibility
