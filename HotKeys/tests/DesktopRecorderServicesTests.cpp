#include <gtest/gtest.h>

#include "HotKeys/DesktopRecorderServices.h"
#include "HotKeys/RecorderController.h"
#include "HotKeysTestSupport.h"

namespace HotKeys {
namespace {

using Flags = ModifierFlags;

class DesktopRecorderServicesTest : public testing::HotKeysTest {};

TEST_F(DesktopRecorderServicesTest, MenuKeysAreNamedAsTheMenusNameThem) {
  EXPECT_EQ(menuKeyEquivalent(Shortcut(Key::space, Flags(Flags::option))),
            appkit::KeyEquivalent("space", Flags(Flags::option)));
  EXPECT_EQ(menuKeyEquivalent(Shortcut(Key::f5, Flags())), appkit::KeyEquivalent("f5"));
  EXPECT_EQ(menuKeyEquivalent(Shortcut(Key::q, Flags(Flags::control | Flags::shift))),
            appkit::KeyEquivalent("Q", Flags(Flags::control)));
  EXPECT_EQ(menuKeyEquivalent(Shortcut(Key::one, Flags(Flags::command))),
            appkit::KeyEquivalent("1", Flags(Flags::command)));
  EXPECT_EQ(menuKeyEquivalent(Shortcut(Key::delete_, Flags(Flags::control))),
            appkit::KeyEquivalent("backspace", Flags(Flags::control)));
  EXPECT_FALSE(menuKeyEquivalent(Shortcut(Key::mute, Flags())));
}

TEST_F(DesktopRecorderServicesTest,
       TheRecorderRefusesMenuKeysWithAWarningAndBeepsThroughTheDesktop) {
  auto feedback = std::make_shared<appkit::FakeFeedback>();
  appkit::Menu status({appkit::MenuItem::command("Settings", {"3", Flags(Flags::control)}, [] {}),
                       appkit::MenuItem::command("Quit", {"q", Flags(Flags::control)}, [] {})});
  auto services =
      desktopRecorderServices(feedback, [&] { return std::vector<const appkit::Menu*>{&status}; });
  RecorderEffects effects;
  effects.beep = services->beep;
  effects.alert = services->alert;
  effects.menuItemTitleUsing = services->menuItemTitleUsing;
  RecorderController recorder(Name("panel"), {}, effects);
  recorder.focusGained();

  InputEvent key;
  key.keyCode = Key::q.rawValue;
  key.modifierFlags = Flags(Flags::control);
  recorder.handleRecordingEvent(key, {0, 0, 130, 22});
  ASSERT_EQ(feedback->alerts.size(), 1u);
  EXPECT_NE(feedback->alerts[0].messageText.find("\u201CQuit\u201D"), std::string::npos);
  EXPECT_EQ(feedback->alerts[0].style, appkit::AlertStyle::warning);
  EXPECT_FALSE(Name("panel").shortcut());

  key.modifierFlags = Flags();
  recorder.handleRecordingEvent(key, {0, 0, 130, 22});
  EXPECT_EQ(feedback->beeps, 1);
  key.modifierFlags = Flags(Flags::control | Flags::option);
  recorder.handleRecordingEvent(key, {0, 0, 130, 22});
  EXPECT_EQ(Name("panel").shortcut(), Shortcut(Key::q, Flags(Flags::control | Flags::option)));
}

}  // namespace
}  // namespace HotKeys
