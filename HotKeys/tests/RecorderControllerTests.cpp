#include <gtest/gtest.h>

#include "HotKeys/RecorderController.h"
#include "HotKeys/RecorderTexts.h"
#include "HotKeysTestSupport.h"
#include "carbon/KeyboardLayout.h"
#include "foundation/UserDefaults.h"

namespace HotKeys {
namespace {

using Flags = ModifierFlags;

const ui::Rect kBounds{0, 0, 130, 22};

InputEvent key(Key k, std::uint64_t flags = 0, SpecialKey special = SpecialKey::none,
               int functionKey = 0) {
  InputEvent event;
  event.type = InputEventType::keyDown;
  event.keyCode = k.rawValue;
  event.modifierFlags = Flags(flags);
  event.specialKey = special;
  event.functionKeyNumber = functionKey;
  return event;
}

InputEvent mouseUp(double x, double y) {
  InputEvent event;
  event.type = InputEventType::leftMouseUp;
  event.location = {x, y};
  return event;
}

// The field: the focus moves as the recorder asks, alerts and beeps are counted.
class RecorderTest : public testing::HotKeysTest {
 protected:
  void SetUp() override {
    HotKeysTest::SetUp();
    makeRecorder(Name("showFloatingPanel", Shortcut(Key::space, Flags(Flags::option))));
  }
  void makeRecorder(const Name& name) {
    RecorderEffects effects;
    effects.beep = [this] { ++beeps; };
    effects.alert = [this](const std::string& message, const std::string& informative) {
      EXPECT_FALSE(recorder->isRecording()) << "alerts come after recording ended";
      alerts.push_back(message + "|" + informative);
    };
    effects.resignFocus = [this] {
      ++focusResigned;
      recorder->focusLost();
    };
    effects.takeFocus = [this] { recorder->focusGained(); };
    effects.menuItemTitleUsing = [this](const Shortcut& s) -> std::optional<std::string> {
      if (s == Shortcut(Key::q, Flags(Flags::control))) return menuTitle;
      return std::nullopt;
    };
    recorder.reset();
    recorder = std::make_unique<RecorderController>(
        name, [this](std::optional<Shortcut> s) { changes.push_back(s); }, effects);
    recorder->focusGained();
  }
  bool handle(const InputEvent& event) { return recorder->handleRecordingEvent(event, kBounds); }

  std::unique_ptr<RecorderController> recorder;
  int beeps = 0, focusResigned = 0;
  std::vector<std::string> alerts;
  std::vector<std::optional<Shortcut>> changes;
  std::string menuTitle = "Quit %s %n";
  const Name panel{"showFloatingPanel"};
};

TEST_F(RecorderTest, TheShownKeyFollowsALayoutChangeAtOnce) {
  const Name name("showFloatingPanel");
  setShortcut(Shortcut(Key::y, Flags(Flags::control | Flags::option)), name);
  ASSERT_EQ(recorder->text(), "Ctrl+Alt+Y");
  int told = 0;
  recorder->onDisplayChange = [&] { ++told; };
  // A German keyboard: the key stays where it is and now types z.
  carbon::KeyboardLayout::setCurrent(carbon::TableKeyboardLayout::usWith({{Key::y.rawValue, "z"}}));
  EXPECT_EQ(recorder->text(), "Ctrl+Alt+Z");
  EXPECT_GE(told, 1) << "the field was not told to show it";
  EXPECT_EQ(name.shortcut(), Shortcut(Key::y, Flags(Flags::control | Flags::option)));
  carbon::KeyboardLayout::setCurrent(carbon::TableKeyboardLayout::us());
  EXPECT_EQ(recorder->text(), "Ctrl+Alt+Y");
  recorder->onDisplayChange = nullptr;
}

TEST_F(RecorderTest, RecordingPausesHotKeysAndEveryWayOutResumesThem) {
  EXPECT_TRUE(recorder->isRecording());
  EXPECT_TRUE(isPaused());
  EXPECT_EQ(recorder->placeholder(), localized("press_shortcut"));
  EXPECT_EQ(recorder->text(), "Alt+Space");
  EXPECT_TRUE(recorder->showsClearButton());

  EXPECT_FALSE(handle(key(Key::escape))) << "Escape ends recording and is swallowed";
  EXPECT_FALSE(recorder->isRecording());
  EXPECT_FALSE(isPaused());
  EXPECT_EQ(recorder->placeholder(), "Record Shortcut");
  EXPECT_EQ(recorder->text(), "Alt+Space") << "unchanged";

  recorder->focusGained();
  EXPECT_TRUE(handle(key(Key::tab, 0, SpecialKey::tab))) << "Tab moves the focus on";
  EXPECT_FALSE(isPaused());

  // The window went to the background: the global hot key must work again.
  recorder->focusGained();
  recorder->focusLost();
  EXPECT_FALSE(isPaused());

  // The user went to another window while recording (the desktop's active window changed).
  recorder->focusGained();
  ASSERT_TRUE(service->suspended);
  ASSERT_TRUE(service->focusLeft);
  service->focusLeft();
  EXPECT_FALSE(recorder->isRecording());
  EXPECT_FALSE(isPaused());
  EXPECT_FALSE(service->suspended) << "the hot keys are grabbed again";
  EXPECT_EQ(recorder->placeholder(), "Record Shortcut");

  // The field went away while recording.
  recorder->focusGained();
  recorder.reset();
  EXPECT_FALSE(isPaused());
}

TEST_F(RecorderTest, MouseUpsEndRecordingOnlyWellOutsideTheField) {
  EXPECT_FALSE(handle(mouseUp(60, 10))) << "inside: swallowed";
  EXPECT_FALSE(handle(mouseUp(-2, 10))) << "2 points outside: still recording";
  EXPECT_FALSE(handle(mouseUp(132.9, 10)));
  EXPECT_TRUE(recorder->isRecording());
  EXPECT_TRUE(handle(mouseUp(133, 10))) << "the grown rectangle is half-open";
  EXPECT_FALSE(recorder->isRecording());
  recorder->focusGained();
  EXPECT_TRUE(handle(mouseUp(10, -4))) << "4 points outside: ends and passes on";
  EXPECT_FALSE(recorder->isRecording());

  recorder->focusGained();
  InputEvent moved;
  moved.type = InputEventType::flagsChanged;
  EXPECT_FALSE(handle(moved)) << "other events are swallowed";
  EXPECT_TRUE(recorder->isRecording());
}

TEST_F(RecorderTest, KeysWithoutARealModifierAreRefusedButFunctionKeys) {
  EXPECT_FALSE(handle(key(Key::a)));
  EXPECT_FALSE(handle(key(Key::a, Flags::shift)));
  EXPECT_FALSE(handle(key(Key::a, Flags::capsLock | Flags::numericPad)));
  EXPECT_FALSE(handle(key(Key::delete_, Flags::shift, SpecialKey::delete_)));
  EXPECT_FALSE(handle(key(Key::tab, Flags::shift, SpecialKey::tab)));
  EXPECT_EQ(beeps, 5);
  EXPECT_TRUE(recorder->isRecording());
  EXPECT_EQ(panel.shortcut(), Shortcut(Key::space, Flags(Flags::option)));

  InputEvent f21 = key(Key::a, Flags::control, SpecialKey::functionKey, 21);
  f21.keyCode = -1;  // no key code: cannot be stored
  EXPECT_FALSE(handle(f21));
  EXPECT_EQ(beeps, 6);

  EXPECT_FALSE(handle(key(Key::f5, 0, SpecialKey::functionKey, 5)));
  EXPECT_EQ(panel.shortcut(), Shortcut(Key::f5, Flags()));
  EXPECT_EQ(recorder->text(), "F5");
  EXPECT_FALSE(recorder->isRecording());
  recorder->focusGained();
  EXPECT_FALSE(handle(key(Key::f5, Flags::shift, SpecialKey::functionKey, 5)));
  EXPECT_EQ(panel.shortcut(), Shortcut(Key::f5, Flags(Flags::shift)));
  EXPECT_EQ(beeps, 6);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes.back(), Shortcut(Key::f5, Flags(Flags::shift)));
}

TEST_F(RecorderTest, PressingTheCurrentHotKeyRecordsItInsteadOfFiringIt) {
  int fired = 0;
  onKeyUp(panel, [&] { ++fired; });
  recorder->focusLost();
  recorder->focusGained();
  press(Shortcut(Key::space, Flags(Flags::option)));
  release(Shortcut(Key::space, Flags(Flags::option)));
  EXPECT_EQ(fired, 0) << "paused";
  EXPECT_FALSE(handle(key(Key::space, Flags::option)));
  EXPECT_EQ(panel.shortcut(), Shortcut(Key::space, Flags(Flags::option)));
  EXPECT_FALSE(isPaused());
  release(Shortcut(Key::space, Flags(Flags::option)));
  EXPECT_EQ(fired, 1);
}

TEST_F(RecorderTest, DeleteKeysClearAndRecordAgain) {
  for (auto special : {SpecialKey::delete_, SpecialKey::deleteForward, SpecialKey::backspace}) {
    setShortcut(Shortcut(Key::k, Flags(Flags::control)), panel);
    EXPECT_EQ(recorder->text(), "Ctrl+K") << "follows the stored shortcut";
    EXPECT_FALSE(handle(key(Key::delete_, 0, special)));
    EXPECT_EQ(recorder->text(), "");
    EXPECT_FALSE(recorder->showsClearButton());
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_FALSE(panel.shortcut());
    EXPECT_EQ(foundation::UserDefaults::standard().objectForKey("HotKeys_showFloatingPanel"),
              nlohmann::json(false))
        << "a name with a default stores false";
    EXPECT_EQ(changes.back(), std::nullopt);
  }
  EXPECT_EQ(beeps, 0);
}

TEST_F(RecorderTest, ShortcutsTakenByMenusOrTheDesktopRaiseAnAlertAndRecordAgain) {
  EXPECT_FALSE(handle(key(Key::q, Flags::control)));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0],
            formatted(localized("keyboard_shortcut_used_by_menu_item"), "Quit %s %n") + "|");
  EXPECT_NE(alerts[0].find("\u201CQuit %s %n\u201D"), std::string::npos);
  EXPECT_TRUE(recorder->isRecording()) << "recording again";
  EXPECT_EQ(panel.shortcut(), Shortcut(Key::space, Flags(Flags::option))) << "nothing stored";

  service->takenElsewhere.insert({Key::k.rawValue, 0x1000 | 0x800});
  EXPECT_FALSE(handle(key(Key::k, Flags::control | Flags::option)));
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[1], localized("keyboard_shortcut_used_by_system") + "|" +
                           localized("keyboard_shortcuts_can_be_changed"));

  service->symbolicHotKeys = nlohmann::json::parse(R"([{"kHISymbolicHotKeyEnabled": true,
      "kHISymbolicHotKeyCode": 111, "kHISymbolicHotKeyModifiers": 0},
      {"kHISymbolicHotKeyEnabled": true, "kHISymbolicHotKeyCode": 48,
       "kHISymbolicHotKeyModifiers": 256}])");
  EXPECT_FALSE(handle(key(Key::tab, Flags::command, SpecialKey::tab)));
  EXPECT_EQ(alerts.size(), 3u);
  EXPECT_TRUE(recorder->isRecording());
  EXPECT_FALSE(handle(key(Key::f12, 0, SpecialKey::functionKey, 12)));
  EXPECT_EQ(alerts.size(), 3u) << "F12 alone is never the system's";
  EXPECT_EQ(panel.shortcut(), Shortcut(Key::f12, Flags()));
}

TEST_F(RecorderTest, TheFieldFollowsItsOwnNameOnly) {
  Name other("other");
  setShortcut(Shortcut(Key::j, Flags(Flags::command)), other);
  EXPECT_EQ(recorder->text(), "Alt+Space");
  recorder->setShortcutName(other);
  EXPECT_EQ(recorder->text(), "Meta+J");
  setShortcut(std::nullopt, panel);
  EXPECT_EQ(recorder->text(), "Meta+J");
  EXPECT_FALSE(recorder->showsRegistrationWarning());
  service->takenElsewhere.insert({Key::l.rawValue, 0x100});
  setShortcut(Shortcut(Key::l, Flags(Flags::command)), other);
  EXPECT_EQ(recorder->text(), "Meta+L");
  EXPECT_TRUE(recorder->showsRegistrationWarning()) << "stored, but another program holds it";
}

TEST(RecorderTexts, CompiledInWithSafeSubstitution) {
  for (const char* key :
       {"record_shortcut", "press_shortcut", "keyboard_shortcut_used_by_menu_item",
        "keyboard_shortcut_used_by_system", "keyboard_shortcuts_can_be_changed"})
    EXPECT_NE(localized(key), key);
  EXPECT_EQ(localized("no_such_text"), "no_such_text");
  EXPECT_EQ(formatted("Used by “%@”.", "Save %@ %s"), "Used by “Save %@ %s”.");
  EXPECT_EQ(formatted("No placeholder", "x"), "No placeholder");
  EXPECT_EQ(formatted("%@ and %@", "x"), "x and x");
  EXPECT_EQ(formatted("%s %d %n", "x"), "%s %d %n");
}

}  // namespace
}  // namespace HotKeys
