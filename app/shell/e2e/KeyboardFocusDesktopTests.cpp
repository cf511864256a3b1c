// Tab and Shift+Tab, typed with XTest into the real windows on openbox, reach every control,
// painted or hosted, and Space works what has the focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <string>
#include <vector>

#include "DesktopSession.h"
#include "EndToEndSupport.h"
#include "SceneWindows.h"
#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"
#include "core/AssistantSettings.h"
#include "core/DataModel.h"
#include "foundation/UserDefaults.h"
#include "shell/Scenes.h"
#include "shell/SettingView.h"
#include "testsupport/ScopedHome.h"
#include "ui/qt/ViewWidget.h"

namespace {

using desktoptest::pumpFor;
using desktoptest::pumpUntil;
using namespace std::chrono_literals;

using shelltest::NoOpener;

constexpr xcb_keysym_t kTab = 0xff09, kShiftL = 0xffe1;

class KeyboardFocusDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!desktop.ready()) GTEST_SKIP() << "no desktop";
    context = std::make_unique<shell::SceneContext>(
        shell::SceneContext{model, &opener, nullptr, &windows, {}, nullptr});
    shelltest::declareSceneWindows(windows, *context);
  }
  // Opens the window and waits until it is active and its content has the keyboard.
  ui::qt::ViewWidget* open(const std::string& name) {
    return shelltest::openActive(windows, desktop.x(), name);
  }
  // The focused view's identity after one Tab (Shift+Tab when `back`) typed on the keyboard.
  std::string tab(ui::qt::ViewWidget& view, bool back = false) {
    const auto before = view.host().focusedId();
    if (back)
      keyboard.stroke(kTab, {kShiftL});
    else
      keyboard.stroke(kTab);
    pumpUntil([&] { return !(view.host().focusedId() == before); }, 2s);
    pumpFor(50ms);
    const auto now = view.host().focusedId();
    return now ? now->description() : "none";
  }

  testsupport::ScopedHome home;
  desktoptest::Desktop desktop;
  shelltest::Keyboard keyboard{desktop.x()};
  appkit::WindowRegistry windows;
  std::shared_ptr<core::DataModel> model = std::make_shared<core::DataModel>();
  NoOpener opener;
  std::unique_ptr<shell::SceneContext> context;
};

TEST_F(KeyboardFocusDesktop, TabWalksTheSettingsWindowBothWaysAndSpaceTicksTheCheckBox) {
  ui::qt::ViewWidget* view = open("Settings");
  ASSERT_NE(view, nullptr);
  // Without an updater "Check for Updates…" is disabled, and Tab passes it by.
  const std::vector<std::string> reading{"(\"HotKeys.Recorder\", \"showFloatingPanel\")",
                                         "\"settings.launchAtLogin\"",
                                         "\"settings.promptEditor\"",
                                         "\"settings.apiKey\"",
                                         "\"settings.model\"",
                                         "\"settings.tutorial\"",
                                         "\"settings.useCopyHack\"",
                                         "\"settings.site\""};
  std::vector<std::string> forward;
  for (std::size_t i = 0; i < reading.size(); ++i) {
    forward.push_back(tab(*view));
    if (forward.back() == "\"settings.model\"") {
      // Qt holds the keyboard in the hosted picker, which shows its own focus frame.
      QWidget* focus = QApplication::focusWidget();
      ASSERT_NE(focus, nullptr);
      EXPECT_STREQ(focus->metaObject()->className(), "QComboBox");
      EXPECT_TRUE(focus->window()->testAttribute(Qt::WA_KeyboardFocusChange));
      desktoptest::Desktop::screenshot("settings-focus-picker");
    }
    if (forward.back() == reading.front())
      desktoptest::Desktop::screenshot("settings-focus-recorder");
    if (forward.back() == "\"settings.tutorial\"")
      desktoptest::Desktop::screenshot("settings-focus-tutorial");
  }
  EXPECT_EQ(forward, reading);
  std::vector<std::string> backward;
  for (std::size_t i = 1; i < reading.size(); ++i) backward.push_back(tab(*view, true));
  EXPECT_EQ(backward, std::vector<std::string>(reading.rbegin() + 1, reading.rend()));
  // Back in the recorder, which records: Escape ends that, and Shift+Tab goes round.
  keyboard.stroke(shelltest::Keyboard::kEscape);
  pumpFor(100ms);
  EXPECT_EQ(tab(*view, true), reading.back());

  // Forward again to the check box, and Space ticks it.
  while (tab(*view) != "\"settings.useCopyHack\"") {
  }
  desktoptest::Desktop::screenshot("settings-focus-checkbox");
  keyboard.stroke(' ');
  EXPECT_TRUE(pumpUntil(
      [] { return core::AssistantSettings(foundation::UserDefaults::standard()).useCopyHack(); }));
  windows.close("Settings");
  pumpFor(100ms);
}

TEST_F(KeyboardFocusDesktop, TabReachesThePromptEditorsControlsAndTheOnboardingButton) {
  ui::qt::ViewWidget* editor = open("PromptEditor");
  ASSERT_NE(editor, nullptr);
  std::vector<std::string> seen;
  for (int i = 0; i < 16; ++i) seen.push_back(tab(*editor));
  auto has = [&](const std::string& id) {
    return std::find(seen.begin(), seen.end(), "\"" + id + "\"") != seen.end();
  };
  for (const char* id :
       {"promptEditor.toggleSidebar", "promptEditor.tab.Context", "promptEditor.tab.Non-context",
        "promptEditor.list", "promptEditor.add", "promptEditor.library", "editor.name",
        "editor.emoji", "editor.systemPrompt", "editor.prompt", "editor.kind.Context",
        "editor.delete", "editor.addSelectedText"})
    EXPECT_TRUE(has(id)) << id;
  // Reading order: the sidebar before the form, the form's fields from the top.
  auto at = [&](const std::string& id) {
    return std::find(seen.begin(), seen.end(), "\"" + id + "\"") - seen.begin();
  };
  EXPECT_LT(at("promptEditor.library"), at("editor.name"));
  EXPECT_LT(at("editor.name"), at("editor.prompt"));
  EXPECT_LT(at("editor.prompt"), at("editor.delete"));
  while (tab(*editor) != "\"editor.delete\"") {
  }
  desktoptest::Desktop::screenshot("prompt-editor-focus-delete");
  windows.close("PromptEditor");
  pumpFor(100ms);

  ui::qt::ViewWidget* onboarding = open("Onboarding");
  ASSERT_NE(onboarding, nullptr);
  EXPECT_EQ(tab(*onboarding), "\"onboarding.continue\"");
  desktoptest::Desktop::screenshot("onboarding-focus-continue");
  keyboard.stroke(' ');  // on to the second page
  EXPECT_TRUE(pumpUntil([&] {
    return onboarding->host().frameOf("onboarding.heading.1") &&
           onboarding->host().dump().find("Shortcuts") != std::string::npos;
  }));
  windows.close("Onboarding");
  pumpFor(100ms);
}

}  // namespace
