#include "shell/CheckForUpdatesViewModel.h"

namespace shell {

CheckForUpdatesViewModel::CheckForUpdatesViewModel(updater::Updater* updater) {
  if (!updater) return;
  subscription_ = updater->observeCanCheckForUpdates([this](bool can) {
    if (can != canCheckForUpdates.get()) canCheckForUpdates = can;
  });
}

}  // namespace shell
