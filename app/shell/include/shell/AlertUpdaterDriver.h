#pragma once

#include <memory>

#include "appkit/Alert.h"
#include "shell/URLOpener.h"
#include "updater/UpdaterUserDriver.h"

namespace shell {

// Tells the outcome of an update check in alerts and opens the download page in the browser.
class AlertUpdaterDriver : public updater::UpdaterUserDriver {
 public:
  AlertUpdaterDriver(std::shared_ptr<appkit::UserFeedback> feedback,
                     std::shared_ptr<URLOpener> webOpener);

  bool offerUpdate(const std::string& currentVersion, const std::string& newVersion) override;
  void showUpToDate(const std::string& currentVersion) override;
  void showCheckFailed(const std::string& reason) override;
  bool openDownloadPage(const std::string& url) override;

 private:
  std::shared_ptr<appkit::UserFeedback> feedback_;
  std::shared_ptr<URLOpener> webOpener_;
};

}  // namespace shell
