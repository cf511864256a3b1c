#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "carbon/KeyboardLayout.h"

namespace carbon {

// The X11 keyboard's layout through xkbcommon, kept current: a keymap or group change seen on
// its connection is picked up at the next question, without waiting for the server otherwise.
// A thread of its own watches the connection meanwhile and posts kKeyboardLayoutDidChange on
// the main queue after each change, so that shown key names follow at once.
class XkbKeyboardLayout : public KeyboardLayout {
 public:
  // An empty name opens $DISPLAY.
  explicit XkbKeyboardLayout(const std::string& displayName = {});
  ~XkbKeyboardLayout() override;

  // False without a display or without the keyboard extension.
  bool ok() const;
  std::optional<std::string> unshiftedText(int virtualKeyCode) override;

 private:
  void watch();
  // Applies what the server said since the last look; announces a change. Holds the mutex.
  void catchUp();

  struct Impl;
  std::mutex mutex_;
  std::unique_ptr<Impl> impl_;
  int wakeFd_ = -1;
  std::thread watcher_;
};

}  // namespace carbon
