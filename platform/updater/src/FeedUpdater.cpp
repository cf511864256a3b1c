#include "updater/FeedUpdater.h"

#include "foundation/DispatchQueue.h"
#include "updater/ReleaseFeed.h"

namespace updater {

std::shared_ptr<FeedUpdater> FeedUpdater::make(Configuration configuration) {
  return std::shared_ptr<FeedUpdater>(new FeedUpdater(std::move(configuration)));
}

FeedUpdater::FeedUpdater(Configuration configuration) : configuration_(std::move(configuration)) {
  if (!configuration_.session) configuration_.session = foundation::URLSession::shared();
}

void FeedUpdater::start() {
  started_ = true;
  refreshCanCheck();
}

bool FeedUpdater::canCheckForUpdates() const {
  return canCheck_.get();
}

foundation::Cancellable FeedUpdater::observeCanCheckForUpdates(std::function<void(bool)> observer) {
  return canCheck_.observe(std::move(observer));
}

void FeedUpdater::refreshCanCheck() {
  canCheck_.set(started_ && !checking_ && configuration_.feedURL.has_value() &&
                configuration_.userDriver != nullptr);
}

void FeedUpdater::checkForUpdates() {
  if (!canCheckForUpdates()) return;
  checking_ = true;
  refreshCanCheck();
  const std::uint64_t check = ++check_;
  foundation::URLRequest request(*configuration_.feedURL);
  request.timeoutInterval = std::chrono::seconds(30);
  request.maximumBodyLength = kMaxFeedBytes;
  std::weak_ptr<FeedUpdater> weak = weak_from_this();
  task_ = configuration_.session->dataTask(
      std::move(request), [weak, check](std::optional<std::string> body,
                                        std::optional<foundation::HTTPURLResponse> response,
                                        std::optional<foundation::URLError> error) {
        foundation::DispatchQueue::main().async([weak, check, body = std::move(body),
                                                 response = std::move(response),
                                                 error = std::move(error)] {
          auto self = weak.lock();
          if (!self || check != self->check_ || !self->checking_) return;
          self->finishCheck(body, response, error);
        });
      });
  task_->resume();
  // The idle time-out alone would let a server that sends a byte now and then keep the check
  // (and its disabled menu item) going for ever.
  foundation::DispatchQueue::main().asyncAfter(configuration_.checkDeadline, [weak, check] {
    if (auto self = weak.lock()) self->checkOverdue(check);
  });
}

void FeedUpdater::checkOverdue(std::uint64_t check) {
  if (check != check_ || !checking_) return;
  if (task_) task_->cancel();
  finishCheck(std::nullopt, std::nullopt,
              foundation::URLError::make(foundation::URLError::Code::timedOut));
}

void FeedUpdater::finishCheck(const std::optional<std::string>& body,
                              const std::optional<foundation::HTTPURLResponse>& response,
                              const std::optional<foundation::URLError>& error) {
  checking_ = false;
  task_.reset();
  refreshCanCheck();
  auto& driver = *configuration_.userDriver;
  if (error && error->code == foundation::URLError::Code::dataLengthExceedsMaximum)
    return driver.showCheckFailed("The release list is too large to read.");
  if (error)
    return driver.showCheckFailed("The release list could not be loaded. " +
                                  error->localizedDescription);
  if (!response || response->statusCode < 200 || response->statusCode > 299)
    return driver.showCheckFailed("The release list could not be loaded (HTTP status " +
                                  std::to_string(response ? response->statusCode : 0) + ").");
  if (!body || body->size() > kMaxFeedBytes)
    return driver.showCheckFailed("The release list is too large to read.");
  const auto releases = parseReleaseFeed(*body);
  if (!releases) return driver.showCheckFailed("The release list could not be read.");
  const auto newest = newestRelease(*releases);
  const auto current = Version::parse(configuration_.currentVersion);
  if (!newest || !current) return driver.showCheckFailed("The release list names no release.");
  if (newest->version > *current) {
    if (driver.offerUpdate(configuration_.currentVersion, newest->version.text()))
      driver.openDownloadPage(newest->downloadURL);
    return;
  }
  driver.showUpToDate(configuration_.currentVersion);
}

}  // namespace updater
