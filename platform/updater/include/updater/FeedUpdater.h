#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/URL.h"
#include "foundation/URLSession.h"
#include "updater/ObservableFlag.h"
#include "updater/Updater.h"
#include "updater/UpdaterUserDriver.h"

namespace updater {

// Checks a release feed (RSS) over HTTP(S) when asked and tells the user what it found. Only
// a feed that was fetched with a 2xx status and read tells "up to date"; everything else is a
// failed check.
class FeedUpdater : public Updater, public std::enable_shared_from_this<FeedUpdater> {
 public:
  struct Configuration {
    std::optional<foundation::URL> feedURL;  // none: checks stay disabled
    std::string currentVersion;
    std::shared_ptr<UpdaterUserDriver> userDriver;
    std::shared_ptr<foundation::URLSession> session = nullptr;  // URLSession::shared() when null
    // A check still running after this long fails, however slowly bytes still come.
    std::chrono::milliseconds checkDeadline = std::chrono::seconds(30);
  };

  static std::shared_ptr<FeedUpdater> make(Configuration configuration);

  // Allows checks from now on (they are disabled until the updater starts).
  void start();

  bool canCheckForUpdates() const override;
  foundation::Cancellable observeCanCheckForUpdates(std::function<void(bool)> observer) override;
  void checkForUpdates() override;

  static constexpr std::size_t kMaxFeedBytes = 4 << 20;

 private:
  explicit FeedUpdater(Configuration configuration);
  void checkOverdue(std::uint64_t check);
  void finishCheck(const std::optional<std::string>& body,
                   const std::optional<foundation::HTTPURLResponse>& response,
                   const std::optional<foundation::URLError>& error);
  void refreshCanCheck();

  Configuration configuration_;
  bool started_ = false;
  bool checking_ = false;
  std::uint64_t check_ = 0;  // the running check; answers of earlier ones are dropped
  std::shared_ptr<foundation::URLSessionTask> task_;
  ObservableFlag canCheck_;
};

}  // namespace updater
