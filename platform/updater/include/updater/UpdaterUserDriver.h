#pragma once

#include <string>

namespace updater {

// How a check's outcome reaches the user (alerts in the program, a recorder in tests).
class UpdaterUserDriver {
 public:
  virtual ~UpdaterUserDriver() = default;

  // A newer release exists; returns true when the user wants its download page.
  virtual bool offerUpdate(const std::string& currentVersion, const std::string& newVersion) = 0;
  virtual void showUpToDate(const std::string& currentVersion) = 0;
  // The check could not be made; `reason` says why in a sentence.
  virtual void showCheckFailed(const std::string& reason) = 0;
  // Opens the download page; false when no browser took it.
  virtual bool openDownloadPage(const std::string& url) = 0;
};

}  // namespace updater
