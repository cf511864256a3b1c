#include "shell/WorkspaceOpener.h"

#include "foundation/DispatchQueue.h"
#include "foundation/OperationQueue.h"

namespace shell {
namespace {

constexpr const char* kNoOpener =
    "No program to open links is installed (xdg-open, from the package xdg-utils).";
constexpr const char* kOpenerFailed = "The desktop's program for links (xdg-open) failed.";

void tell(const std::shared_ptr<appkit::UserFeedback>& feedback,
          const std::shared_ptr<appkit::Pasteboard>& pasteboard,
          const std::shared_ptr<foundation::OperationQueue>& copies, const std::string& url,
          const std::string& reason) {
  if (!feedback) return;
  if (feedback->runModal(linkNotOpenedAlert(url, reason)) != appkit::Alert::firstButtonReturn ||
      !pasteboard)
    return;
  // Taking the clipboard is a round trip to the X server: not on the main thread.
  copies->addOperation([pasteboard, url] {
    pasteboard->clearContents();
    pasteboard->setString(url);
  });
}

}  // namespace

appkit::Alert linkNotOpenedAlert(const std::string& url, const std::string& reason) {
  appkit::Alert alert;
  alert.messageText = kLinkNotOpenedMessage;
  alert.informativeText = url + "\n\n" + reason + " Copy the address to open it yourself.";
  alert.buttons = {kCopyAddressButton, "OK"};
  return alert;
}

WorkspaceOpener::WorkspaceOpener(std::shared_ptr<appkit::Workspace> workspace,
                                 std::shared_ptr<appkit::UserFeedback> feedback,
                                 std::shared_ptr<appkit::Pasteboard> pasteboard)
    : workspace_(std::move(workspace)),
      feedback_(std::move(feedback)),
      pasteboard_(std::move(pasteboard)),
      copies_(std::make_shared<foundation::OperationQueue>("quill-copy-link")) {}

bool WorkspaceOpener::open(std::string_view url) {
  if (!appkit::isOpenableURL(url)) return false;
  const std::string address(url);
  const bool started = workspace_->openURL(url, [feedback = feedback_, pasteboard = pasteboard_,
                                                 copies = copies_, address](bool opened) {
    if (opened) return;
    foundation::DispatchQueue::main().async([feedback, pasteboard, copies, address] {
      tell(feedback, pasteboard, copies, address, kOpenerFailed);
    });
  });
  if (!started) {
    foundation::DispatchQueue::main().async(
        [feedback = feedback_, pasteboard = pasteboard_, copies = copies_, address] {
          tell(feedback, pasteboard, copies, address, kNoOpener);
        });
  }
  return started;
}

}  // namespace shell
