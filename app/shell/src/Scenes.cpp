#include "shell/Scenes.h"

#include "HotKeys/DesktopRecorderServices.h"
#include "appkit/Alert.h"
#include "shell/PromptEditorView.h"
#include "shell/SettingView.h"
#include "ui/Views.h"

namespace shell {
namespace {

// Stands in for a window's view until it is built.
ui::AnyView Pending(std::string title) {
  return ui::AnyView(ui::Text::verbatim(std::move(title))).font(ui::Font::system(22)).padding(40);
}

}  // namespace

appkit::WindowDescription settingsWindow(const SceneContext& context) {
  // The recorder checks new shortcuts against the tray menu's, which take no modifiers: no
  // conflict is possible there.
  auto recorderServices =
      HotKeys::desktopRecorderServices(std::make_shared<appkit::DesktopFeedback>(),
                                       [] { return std::vector<const appkit::Menu*>{}; });
  return {"Settings", {500, 0}, ui::Size{560, 640}, [context, recorderServices] {
            SettingViewServices services;
            services.opener = context.opener;
            return ui::AnyView(SettingView(context.updater, std::move(services)))
                .environment<HotKeys::RecorderServicesKey>(recorderServices);
          }};
}

appkit::WindowDescription onboardingWindow(const SceneContext&) {
  return {"Onboarding", {}, ui::Size{720, 640}, [] { return Pending("Onboarding"); }};
}

appkit::WindowDescription promptEditorWindow(const SceneContext& context) {
  return {"Prompt Editor", {640, 420}, ui::Size{900, 620}, [context] {
            return PromptEditorView(context.model, context.opener);
          }};
}

}  // namespace shell
