#pragma once

#include "foundation/ObservableObject.h"
#include "updater/Updater.h"

namespace shell {

// Mirrors whether the updater may start a check now, for the settings' update button.
class CheckForUpdatesViewModel : public foundation::ObservableObject {
 public:
  // Without an updater it never allows a check.
  explicit CheckForUpdatesViewModel(updater::Updater* updater);

  foundation::Published<bool> canCheckForUpdates{this, false};

 private:
  foundation::Cancellable subscription_;
};

}  // namespace shell
