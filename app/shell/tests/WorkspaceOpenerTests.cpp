#include "shell/WorkspaceOpener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "appkit/FakePasteboard.h"
#include "appkit/FakeWorkspace.h"
#include "appkit/X11Workspace.h"
#include "foundation/DispatchQueue.h"

namespace shell {
namespace {

using namespace std::chrono_literals;
using foundation::MainRunLoop::runUntil;

constexpr auto kWait = 5s;

// The desktop's xdg-open, found on a PATH that holds only the test's folder.
class PathWithOpener {
 public:
  PathWithOpener()
      : folder_(std::filesystem::temp_directory_path() /
                ("quill-links-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(folder_);
    if (const char* path = std::getenv("PATH")) saved_ = path;
    ::setenv("PATH", folder_.c_str(), 1);
  }
  ~PathWithOpener() {
    ::setenv("PATH", saved_.c_str(), 1);
    std::filesystem::remove_all(folder_);
  }
  void installOpener(const std::string& body) {
    const auto script = folder_ / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    ::chmod(script.c_str(), 0700);
  }

 private:
  std::filesystem::path folder_;
  std::string saved_;
};

struct Opener {
  std::shared_ptr<appkit::Workspace> workspace;
  std::shared_ptr<appkit::FakeFeedback> feedback = std::make_shared<appkit::FakeFeedback>();
  std::shared_ptr<appkit::FakePasteboard> pasteboard = std::make_shared<appkit::FakePasteboard>();
  WorkspaceOpener opener{workspace, feedback, pasteboard};

  bool alerted() {
    return runUntil([&] { return !feedback->alerts.empty(); }, kWait);
  }
};

TEST(WorkspaceOpener, ALinkXdgOpenFailsOnIsToldWithItsAddressToCopy) {
  PathWithOpener path;
  path.installOpener("echo 'xdg-open: no method available' >&2; exit 3");
  Opener links{std::make_shared<appkit::X11Workspace>()};
  const std::string url = "https://example.com/tutorial?step=1";

  // Started: the caller is not held up; the failure comes back from the opener's exit.
  EXPECT_TRUE(links.opener.open(url));
  ASSERT_TRUE(links.alerted());
  const auto& alert = links.feedback->alerts.front();
  EXPECT_EQ(alert.messageText, kLinkNotOpenedMessage);
  EXPECT_NE(alert.informativeText.find(url), std::string::npos) << alert.informativeText;
  EXPECT_NE(alert.informativeText.find("failed"), std::string::npos);
  ASSERT_FALSE(alert.buttons.empty());
  EXPECT_EQ(alert.buttons.front(), kCopyAddressButton);

  // The default button copied the address (off the main thread, which hears nothing of it).
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  while (links.pasteboard->string() != url && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  EXPECT_EQ(links.pasteboard->string(), url);
  EXPECT_EQ(links.feedback->alerts.size(), 1u);
}

TEST(WorkspaceOpener, WithoutXdgOpenTheAlertSaysSoAndOKLeavesTheClipboard) {
  PathWithOpener path;  // holds no xdg-open
  Opener links{std::make_shared<appkit::X11Workspace>()};
  links.pasteboard->setString("the user's own clipboard");
  links.feedback->responses = {appkit::Alert::firstButtonReturn + 1};  // "OK"

  EXPECT_FALSE(links.opener.open("mailto:someone@example.com"));
  ASSERT_TRUE(links.alerted());
  const auto& alert = links.feedback->alerts.front();
  EXPECT_NE(alert.informativeText.find("mailto:someone@example.com"), std::string::npos);
  EXPECT_NE(alert.informativeText.find("xdg-utils"), std::string::npos) << alert.informativeText;
  foundation::MainRunLoop::runFor(50ms);
  EXPECT_EQ(links.pasteboard->string(), "the user's own clipboard");
}

TEST(WorkspaceOpener, OpenedAndRefusedLinksShowNoAlert) {
  auto workspace = std::make_shared<appkit::FakeWorkspace>();
  Opener links{workspace};
  EXPECT_TRUE(links.opener.open("https://example.com/"));
  // Links from answers that are not web pages or mail are refused quietly, never handed on.
  EXPECT_FALSE(links.opener.open("file:///etc/passwd"));
  EXPECT_FALSE(links.opener.open("javascript:alert(1)"));
  foundation::MainRunLoop::runFor(50ms);
  EXPECT_TRUE(links.feedback->alerts.empty());
  EXPECT_EQ(workspace->openedURLs(), std::vector<std::string>{"https://example.com/"});

  workspace->setOpenSucceeds(false);
  EXPECT_TRUE(links.opener.open("https://example.com/b"));
  EXPECT_TRUE(links.alerted());
}

}  // namespace
}  // namespace shell
