#include "shell/Scenes.h"

#include "shell/PromptEditorView.h"
#include "ui/Views.h"

namespace shell {
namespace {

// Stands in for a window's view until it is built.
ui::AnyView Pending(std::string title) {
  return ui::AnyView(ui::Text::verbatim(std::move(title))).font(ui::Font::system(22)).padding(40);
}

}  // namespace

appkit::WindowDescription settingsWindow(const SceneContext&) {
  return {"Settings", {500, 0}, ui::Size{560, 640}, [] { return Pending("Settings"); }};
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
