#include "shell/AlertUpdaterDriver.h"

namespace shell {

AlertUpdaterDriver::AlertUpdaterDriver(std::shared_ptr<appkit::UserFeedback> feedback,
                                       std::shared_ptr<URLOpener> webOpener)
    : feedback_(std::move(feedback)), webOpener_(std::move(webOpener)) {}

bool AlertUpdaterDriver::offerUpdate(const std::string& currentVersion,
                                     const std::string& newVersion) {
  appkit::Alert alert;
  alert.messageText = "Quillcast " + newVersion + " is available";
  alert.informativeText = "You have version " + currentVersion + ". Open the download page?";
  alert.buttons = {"Open Download Page", "Later"};
  alert.style = appkit::AlertStyle::informational;
  return feedback_->runModal(alert) == appkit::Alert::firstButtonReturn;
}

void AlertUpdaterDriver::showUpToDate(const std::string& currentVersion) {
  appkit::Alert alert;
  alert.messageText = "You're up to date";
  alert.informativeText = "Quillcast " + currentVersion + " is the newest version.";
  alert.style = appkit::AlertStyle::informational;
  feedback_->runModal(alert);
}

void AlertUpdaterDriver::showCheckFailed(const std::string& reason) {
  appkit::Alert alert;
  alert.messageText = "Checking for updates failed";
  alert.informativeText = reason;
  feedback_->runModal(alert);
}

bool AlertUpdaterDriver::openDownloadPage(const std::string& url) {
  return webOpener_ && webOpener_->open(url);
}

}  // namespace shell
