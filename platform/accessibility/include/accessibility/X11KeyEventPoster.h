#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "accessibility/KeyEventPoster.h"

namespace accessibility {

// Posts key events through XTest. X11 has no modifier flags on synthetic events: the modifier
// keys are pressed around the key (Command is Control here). A key down first waits (at most
// `modifierReleaseWait`) until the user has let go of every modifier (the hot key's); the wanted
// ones are then pressed on keys the user does not hold, and any the user still holds are
// released for the key stroke and pressed again after it. The key down blocks for that wait.
class X11KeyEventPoster : public KeyEventPoster {
 public:
  explicit X11KeyEventPoster(std::string displayName = {},
                             std::chrono::milliseconds modifierReleaseWait = kModifierReleaseWait);
  static constexpr std::chrono::milliseconds kModifierReleaseWait{1000};
  ~X11KeyEventPoster() override;

  // False without a display or without the XTest extension.
  bool ok() const;
  bool post(const KeyEvent& event) override;

 private:
  struct Display;
  std::mutex mutex_;
  std::chrono::milliseconds modifierReleaseWait_;
  std::unique_ptr<Display> display_;
  // Between a key down and its key up.
  std::vector<std::uint8_t> pressedModifiers_;
  std::vector<std::uint8_t> releasedModifiers_;
};

}  // namespace accessibility
