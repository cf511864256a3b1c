#include "shell/QuillcastApp.h"

#include "appkit/Alert.h"
#include "appkit/Application.h"
#include "shell/AlertUpdaterDriver.h"
#include "shell/AppVersion.h"
#include "shell/Scenes.h"
#include "shell/WorkspaceOpener.h"
#include "shell/X11CaptureServices.h"
#include "ui/SystemEnvironment.h"

namespace shell {
namespace {

// Made at start, so that it joins the bus before the first hot key; none where the capture
// brings its own layer.
std::shared_ptr<accessibility::AtspiAccessibility> accessibilityBusFor(
    const core::CaptureServices& given) {
  return given.accessibility ? nullptr : std::make_shared<accessibility::AtspiAccessibility>();
}

}  // namespace

QuillcastApp::QuillcastApp(QuillcastAppOptions options)
    : accessibilityBus_(accessibilityBusFor(options.captureServices)),
      captureServices_(x11CaptureServices(std::move(options.captureServices), accessibilityBus_)) {
  panel::FloatingViewOptions panelOptions;
  panelOptions.answerServices = {captureServices_.pasteboard, captureServices_.accessibility,
                                 std::make_shared<appkit::DesktopFeedback>()};
  desktop_ = std::make_shared<AppKitShellDesktop>(accessibilityBus_, std::move(panelOptions));

  auto feedback = std::make_shared<appkit::DesktopFeedback>();
  auto webOpener = std::make_shared<WorkspaceOpener>(captureServices_.workspace, feedback,
                                                     captureServices_.pasteboard);
  // Links in answers.
  ui::OpenURLAction::setDesktopOpener(
      [webOpener](const foundation::URL& url) { webOpener->open(url.absoluteString()); });

  core::DataModelEnvironment environment;
  environment.chatServiceBaseURL = options.chatServiceBaseURL;
  environment.captureServices = captureServices_;
  delegate_ = std::make_unique<AppDelegate>(
      AppDelegateConfiguration{std::move(environment), desktop_, webOpener, feedback});

  auto driver = std::make_shared<AlertUpdaterDriver>(feedback, webOpener);
  updaterController_ =
      std::make_unique<updater::StandardUpdaterController>(true, shortVersion(), driver);
  declareScenes();
}

QuillcastApp::~QuillcastApp() {
  ui::OpenURLAction::setDesktopOpener({});
}

int QuillcastApp::run(appkit::Application& application, std::vector<std::string> urls) {
  application.onWillTerminate([this] { delegate_->applicationWillTerminate(); });
  const int code = application.run([this, urls = std::move(urls)] {
    delegate_->applicationDidFinishLaunching();
    if (!urls.empty()) delegate_->application(urls);
  });
  application.onWillTerminate(nullptr);
  return code;
}

void QuillcastApp::declareScenes() {
  SceneContext context{delegate_->coreAppModel,
                       delegate_.get(),
                       &updaterController_->updater(),
                       &desktop_->windows(),
                       [delegate = delegate_.get()] { return delegate->setupMenus(); },
                       delegate_->panelAccess};
  desktop_->declareScene(Scene::settings, {"Settings", settingsWindow(context)});
  desktop_->declareScene(Scene::onboarding, {"Onboarding", onboardingWindow(context)});
  desktop_->declareScene(Scene::promptEditor, {"PromptEditor", promptEditorWindow(context)});
}

}  // namespace shell
