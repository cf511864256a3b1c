#include "updater/StandardUpdaterController.h"

namespace updater {

std::string StandardUpdaterController::feedURL() {
  return QUILL_UPDATE_FEED_URL;
}

StandardUpdaterController::StandardUpdaterController(
    bool startingUpdater, std::string currentVersion, std::shared_ptr<UpdaterUserDriver> userDriver,
    std::shared_ptr<foundation::URLSession> session)
    : updater_(FeedUpdater::make({foundation::URL::parse(feedURL()), std::move(currentVersion),
                                  std::move(userDriver), std::move(session)})) {
  if (startingUpdater) startUpdater();
}

}  // namespace updater
