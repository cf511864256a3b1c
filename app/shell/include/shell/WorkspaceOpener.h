#pragma once

#include <memory>
#include <string>

#include "appkit/Alert.h"
#include "appkit/Pasteboard.h"
#include "appkit/Workspace.h"
#include "shell/URLOpener.h"

namespace foundation {
class OperationQueue;
}

namespace shell {

inline constexpr const char* kLinkNotOpenedMessage = "Quillcast could not open the link";
inline constexpr const char* kCopyAddressButton = "Copy Address";

// Web pages and mail addresses go to the desktop's browser or mail program. A link that no
// program opened is told in an alert that names its address and offers to copy it. Main thread.
class WorkspaceOpener : public URLOpener {
 public:
  WorkspaceOpener(std::shared_ptr<appkit::Workspace> workspace,
                  std::shared_ptr<appkit::UserFeedback> feedback,
                  std::shared_ptr<appkit::Pasteboard> pasteboard);

  // True once the desktop's opener started; its failure is told later, from the main queue.
  bool open(std::string_view url) override;

 private:
  std::shared_ptr<appkit::Workspace> workspace_;
  std::shared_ptr<appkit::UserFeedback> feedback_;
  std::shared_ptr<appkit::Pasteboard> pasteboard_;
  // Takes the clipboard for "Copy Address" off the main thread; ends with the last user.
  std::shared_ptr<foundation::OperationQueue> copies_;
};

// The alert for a link that was not opened; `reason` says why in a few words.
appkit::Alert linkNotOpenedAlert(const std::string& url, const std::string& reason);

}  // namespace shell
