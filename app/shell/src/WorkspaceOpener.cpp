#include "shell/WorkspaceOpener.h"

#include <thread>

#include "foundation/DispatchQueue.h"
#include "foundation/ThreadName.h"

namespace shell {
namespace {

constexpr const char* kNoOpener =
    "No program to open links is installed (xdg-open, from the package xdg-utils).";
constexpr const char* kOpenerFailed = "The desktop's program for links (xdg-open) failed.";

void tell(const std::shared_ptr<appkit::UserFeedback>& feedback,
          const std::shared_ptr<appkit::Pasteboard>& pasteboard, const std::string& url,
          const std::string& reason) {
  if (!feedback) return;
  if (feedback->runModal(linkNotOpenedAlert(url, reason)) != appkit::Alert::firstButtonReturn ||
      !pasteboard)
    return;
  // Taking the clipboard is a round trip to the X server: not on the main thread.
  std::thread([pasteboard, url] {
    foundation::setCurrentThreadName("quill-copy-link");
    pasteboard->clearContents();
    pasteboard->setString(url);
  }).detach();
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
      pasteboard_(std::move(pasteboard)) {}

bool WorkspaceOpener::open(std::string_view url) {
  if (!appkit::isOpenableURL(url)) return false;
  const std::string address(url);
  const bool started = workspace_->openURL(
      url, [feedback = feedback_, pasteboard = pasteboard_, address](bool opened) {
        if (opened) return;
        foundation::DispatchQueue::main().async([feedback, pasteboard, address] {
          tell(feedback, pasteboard, address, kOpenerFailed);
        });
      });
  if (!started) {
    foundation::DispatchQueue::main().async(
        [feedback = feedback_, pasteboard = pasteboard_, address] {
          tell(feedback, pasteboard, address, kNoOpener);
        });
  }
  return started;
}

}  // namespace shell
