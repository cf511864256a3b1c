#pragma once

#include <memory>
#include <vector>

#include "appkit/Alert.h"
#include "core/DocumentsFiles.h"
#include "foundation/Files.h"

namespace shell {

// One alert for every file found unreadable at start: what it held and where its copy went.
appkit::Alert unreadableFilesAlert(const std::vector<foundation::files::UnreadableFile>& files);
// The alert for the first failed save of a streak.
appkit::Alert saveFailureAlert(const core::SaveFailure& failure);

// Tells the user in a window what becomes of the files that hold their work, where the console
// would go unseen: files set aside at start, and saves that fail (once per streak of failures).
// Alerts are shown from the main queue, never from inside the save that failed. Main thread only.
class StorageAlerts {
 public:
  explicit StorageAlerts(std::shared_ptr<appkit::UserFeedback> feedback);
  ~StorageAlerts();
  StorageAlerts(const StorageAlerts&) = delete;
  StorageAlerts& operator=(const StorageAlerts&) = delete;

  // Nothing when `files` is empty.
  void tellUnreadableFiles(std::vector<foundation::files::UnreadableFile> files);
  // From now on tells of the folder's failed saves; a streak already running is told at once.
  void watchSaves(core::DocumentsFolder& folder);

 private:
  static void show(std::shared_ptr<appkit::UserFeedback> feedback, std::weak_ptr<bool> alive,
                   appkit::Alert alert);

  std::shared_ptr<appkit::UserFeedback> feedback_;
  // Cleared when this goes, so alerts still queued find it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace shell
