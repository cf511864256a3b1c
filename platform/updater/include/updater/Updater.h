#pragma once

#include <functional>

#include "foundation/ObservableObject.h"

namespace updater {

// What the settings window needs of an updater: whether a check may start now, with a way to
// follow that, and the user-initiated check with its own messages. Main thread only.
class Updater {
 public:
  virtual ~Updater() = default;

  virtual bool canCheckForUpdates() const = 0;
  // Calls `observer` at once with the current value, then with every new value.
  [[nodiscard]] virtual foundation::Cancellable observeCanCheckForUpdates(
      std::function<void(bool)> observer) = 0;
  // Does nothing while canCheckForUpdates() is false.
  virtual void checkForUpdates() = 0;
};

}  // namespace updater
