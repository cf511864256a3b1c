#include "shell/Scenes.h"

#include "appkit/Alert.h"
#include "foundation/DispatchQueue.h"
#include "shell/OnboardingView.h"
#include "shell/PromptEditorView.h"
#include "shell/RecorderConflicts.h"
#include "shell/SettingView.h"
#include "ui/Views.h"

namespace shell {
appkit::WindowDescription settingsWindow(const SceneContext& context) {
  auto recorderServices =
      settingsRecorderServices(std::make_shared<appkit::DesktopFeedback>(), context.statusMenu);
  return {"Settings", {500, 0}, ui::Size{560, 640}, [context, recorderServices] {
            SettingViewServices services;
            services.opener = context.opener;
            return ui::AnyView(SettingView(context.updater, std::move(services)))
                .environment<HotKeys::RecorderServicesKey>(recorderServices);
          }};
}

appkit::WindowDescription onboardingWindow(const SceneContext& context) {
  auto* windows = context.windows;
  // Deferred: the window must not go away under the button that closes it.
  OnboardingActions actions{
      [windows] {
        foundation::DispatchQueue::main().async([windows] { windows->close("Onboarding"); });
      },
      [windows] {
        foundation::DispatchQueue::main().async([windows] { windows->open("Settings"); });
      }};
  // Wide enough for the key page's longest line to stay whole; a smaller screen gets a window
  // as large as its work area, where that line wraps.
  return {"Onboarding", {}, ui::Size{1080, 640}, [actions, access = context.panelAccess] {
            return ui::AnyView(OnboardingView(actions, 1, access));
          }};
}

appkit::WindowDescription promptEditorWindow(const SceneContext& context) {
  return {"Prompt Editor", {640, 420}, ui::Size{900, 620}, [context] {
            return PromptEditorView(context.model, context.opener);
          }};
}

}  // namespace shell
