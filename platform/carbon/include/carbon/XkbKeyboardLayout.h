#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "carbon/KeyboardLayout.h"

namespace carbon {

// The X11 keyboard's layout through xkbcommon, kept current: a keymap or group change seen on
// its connection is picked up at the next question, without waiting for the server otherwise.
class XkbKeyboardLayout : public KeyboardLayout {
 public:
  // An empty name opens $DISPLAY.
  explicit XkbKeyboardLayout(const std::string& displayName = {});
  ~XkbKeyboardLayout() override;

  // False without a display or without the keyboard extension.
  bool ok() const;
  std::optional<std::string> unshiftedText(int virtualKeyCode) override;

 private:
  struct Impl;
  std::mutex mutex_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace carbon
