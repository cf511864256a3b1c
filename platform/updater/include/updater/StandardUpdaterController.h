#pragma once

#include <memory>
#include <string>

#include "updater/FeedUpdater.h"

namespace updater {

// The program's updater: reads the release feed fixed at build time. Held for the whole run.
class StandardUpdaterController {
 public:
  StandardUpdaterController(bool startingUpdater, std::string currentVersion,
                            std::shared_ptr<UpdaterUserDriver> userDriver,
                            std::shared_ptr<foundation::URLSession> session = nullptr);

  Updater& updater() const { return *updater_; }
  void startUpdater() { updater_->start(); }

  // The feed URL this build checks; empty when checks are disabled.
  static std::string feedURL();

 private:
  std::shared_ptr<FeedUpdater> updater_;
};

}  // namespace updater
