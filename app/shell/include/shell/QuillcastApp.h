#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/CaptureServices.h"
#include "core/DataModel.h"
#include "shell/AppDelegate.h"
#include "shell/AppKitShellDesktop.h"
#include "updater/StandardUpdaterController.h"

namespace appkit {
class Application;
}

namespace shell {

struct QuillcastAppOptions {
  std::string chatServiceBaseURL = core::kDefaultChatServiceBaseURL;
  // The X11 backends for what is left empty (shell::x11CaptureServices).
  core::CaptureServices captureServices;
};

// The program: the application delegate, the updater (started at once) and the scenes
// "Settings", "Onboarding" and "PromptEditor". Needs an appkit::Application. Main thread only.
class QuillcastApp {
 public:
  explicit QuillcastApp(QuillcastAppOptions options = {});
  ~QuillcastApp();

  // Runs the program in the application's event loop until it ends, launching first and then
  // taking `urls`, and saves the user's work on the way out. Returns the exit code.
  int run(appkit::Application& application, std::vector<std::string> urls = {});

  AppDelegate& delegate() { return *delegate_; }
  AppKitShellDesktop& desktop() { return *desktop_; }
  updater::StandardUpdaterController& updaterController() { return *updaterController_; }
  const core::CaptureServices& captureServices() const { return captureServices_; }

 private:
  void declareScenes();

  std::shared_ptr<accessibility::AtspiAccessibility> accessibilityBus_;
  core::CaptureServices captureServices_;
  std::shared_ptr<AppKitShellDesktop> desktop_;
  std::unique_ptr<updater::StandardUpdaterController> updaterController_;
  std::unique_ptr<AppDelegate> delegate_;
};

}  // namespace shell
