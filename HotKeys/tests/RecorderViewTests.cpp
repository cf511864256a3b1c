#include <gtest/gtest.h>

#include <tuple>

#include "HotKeys/Recorder.h"
#include "HotKeys/RecorderController.h"
#include "HotKeysTestSupport.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/ViewHost.h"

namespace HotKeys {
namespace {

using Flags = ModifierFlags;

// The recorder in a view host, typed into as the Qt window would.
class RecorderViewTest : public testing::HotKeysTest {
 protected:
  void SetUp() override {
    HotKeysTest::SetUp();
    services_ = std::make_shared<RecorderServices>();
    services_->beep = [this] { ++beeps; };
    services_->alert = [this](const std::string& message, const std::string&) {
      alerts.push_back(message);
    };
    services_->menuItemTitleUsing = [](const Shortcut& s) -> std::optional<std::string> {
      if (s == Shortcut(Key::comma, Flags(Flags::control))) return "Settings";
      return std::nullopt;
    };
    panel_.emplace("showFloatingPanel", Shortcut(Key::space, Flags(Flags::option)));
    host_ = std::make_unique<ui::ViewHost>(
        ui::AnyView(Recorder("Open Quillcast Hotkey:", *panel_,
                             [this](std::optional<Shortcut> s) { changes.push_back(s); }))
            .environment<RecorderServicesKey>(services_),
        std::make_shared<ui::FakeTextMeasurer>());
    host_->update();
  }
  void TearDown() override {
    host_.reset();
    HotKeysTest::TearDown();
  }
  bool type(const ui::KeyEvent& event) {
    const bool handled = host_->keyPressed(event);
    host_->update();
    return handled;
  }
  void focusField() {
    ASSERT_TRUE(host_->focus(ui::Identity::pair("HotKeys.Recorder", "showFloatingPanel")));
    host_->update();
  }
  std::string dump() const { return host_->dump(); }

  std::unique_ptr<ui::ViewHost> host_;
  std::optional<Name> panel_;
  std::shared_ptr<RecorderServices> services_;
  int beeps = 0;
  std::vector<std::string> alerts;
  std::vector<std::optional<Shortcut>> changes;
};

TEST_F(RecorderViewTest, ShowsTheLabelAndTheStoredShortcutAndRecordsWhileFocused) {
  auto field = host_->frameOf("HotKeys.Recorder");
  ASSERT_TRUE(field);
  EXPECT_GE(field->width, 130);
  EXPECT_NE(dump().find("Open Quillcast Hotkey:"), std::string::npos);
  EXPECT_NE(dump().find("Alt+Space"), std::string::npos);
  EXPECT_TRUE(host_->frameOf("HotKeys.Recorder.clear"));
  EXPECT_FALSE(isPaused()) << "not recording until focused";
  EXPECT_FALSE(type(ui::KeyEvent::typing("k", {.control = true}))) << "keys pass while idle";

  focusField();
  EXPECT_TRUE(isPaused());
  EXPECT_NE(dump().find("Alt+Space"), std::string::npos);
  EXPECT_TRUE(type(ui::KeyEvent::typing("k")));
  EXPECT_EQ(beeps, 1) << "no modifier";
  EXPECT_TRUE(type(ui::KeyEvent::typing("k", {.control = true, .alt = true})));
  EXPECT_EQ(panel_->shortcut(), Shortcut(Key::k, Flags(Flags::control | Flags::option)));
  EXPECT_FALSE(isPaused()) << "accepted: recording ended";
  EXPECT_FALSE(host_->focusedId());
  EXPECT_NE(dump().find("Ctrl+Alt+K"), std::string::npos);
  ASSERT_EQ(changes.size(), 1u);

  focusField();
  EXPECT_TRUE(type(ui::KeyEvent::of(ui::Key::function, {.super = true})));  // no number: no code
  EXPECT_EQ(beeps, 2);
  EXPECT_TRUE(type(ui::KeyEvent{ui::Key::function, "F5", {}, false}));
  EXPECT_EQ(panel_->shortcut(), Shortcut(Key::f5, Flags()));
  focusField();
  EXPECT_TRUE(type(ui::KeyEvent::typing("!", {.shift = true, .control = true})));
  EXPECT_EQ(panel_->shortcut(), Shortcut(Key::one, Flags(Flags::shift | Flags::control)));
}

// Keys as a German layout gives them: the platform names the physical key beside the text.
TEST_F(RecorderViewTest, RecordsThePhysicalKeyAndRefusesAltGrAndIgnoresModifiersAlone) {
  constexpr int kEvdevSeven = 8, kEvdevQ = 16;
  auto german = [](const char* text, int key, ui::Modifiers modifiers, bool altGr = false) {
    return ui::KeyEvent{ui::Key::character, text, modifiers, false, key, altGr};
  };
  focusField();
  // Ctrl, then Alt, pressed on their way to Ctrl+Alt+K: neither is a refused key.
  EXPECT_TRUE(type(ui::KeyEvent::of(ui::Key::modifier, {.control = true})));
  EXPECT_TRUE(type(ui::KeyEvent::of(ui::Key::modifier, {.control = true, .alt = true})));
  EXPECT_EQ(beeps, 0);
  EXPECT_TRUE(isPaused()) << "still recording";

  // Ctrl+AltGr+7 types "{" and Ctrl+AltGr+Q "@": a grab could not hold AltGr, and the text would
  // name another key (US "[" or Shift+2, which is also a menu's key).
  EXPECT_TRUE(type(german("{", kEvdevSeven, {.control = true}, true)));
  EXPECT_TRUE(type(german("@", kEvdevQ, {.control = true}, true)));
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_NE(alerts[0].find("AltGr"), std::string::npos);
  EXPECT_EQ(alerts[1], alerts[0]);
  EXPECT_EQ(panel_->shortcut(), Shortcut(Key::space, Flags(Flags::option))) << "kept";
  EXPECT_TRUE(changes.empty());
  EXPECT_TRUE(isPaused()) << "recording again after the alert";

  // Ctrl+Shift+7 types "/": the shortcut is the key pressed, with the modifiers held.
  EXPECT_TRUE(type(german("/", kEvdevSeven, {.shift = true, .control = true})));
  EXPECT_EQ(panel_->shortcut(), Shortcut(Key::seven, Flags(Flags::shift | Flags::control)));
  EXPECT_EQ(beeps, 0);
}

TEST_F(RecorderViewTest, EscapeTabAndDeleteWhileRecording) {
  focusField();
  EXPECT_TRUE(type(ui::KeyEvent::of(ui::Key::escape)));
  EXPECT_FALSE(isPaused());
  EXPECT_FALSE(host_->focusedId());
  EXPECT_EQ(panel_->shortcut(), Shortcut(Key::space, Flags(Flags::option)));

  focusField();
  type(ui::KeyEvent::of(ui::Key::tab));
  EXPECT_FALSE(isPaused()) << "Tab ends recording and moves on";

  focusField();
  EXPECT_TRUE(type(ui::KeyEvent::of(ui::Key::backspace)));
  EXPECT_FALSE(panel_->shortcut());
  EXPECT_TRUE(isPaused()) << "recording again";
  EXPECT_NE(dump().find("Press Shortcut"), std::string::npos);
  EXPECT_FALSE(host_->frameOf("HotKeys.Recorder.clear"));
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], std::nullopt);

  EXPECT_TRUE(type(ui::KeyEvent::typing(",", {.control = true})));
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].find("Settings"), std::string::npos);
  EXPECT_TRUE(isPaused()) << "recording again after the alert";
  host_->clearFocus();
  host_->update();
  EXPECT_FALSE(isPaused()) << "focus gone: the hot keys work again";
  EXPECT_NE(dump().find("Record Shortcut"), std::string::npos);
}

TEST_F(RecorderViewTest, AClickElsewhereInTheWindowEndsRecording) {
  const ui::Rect field = *host_->frameOf("HotKeys.Recorder");
  auto release = [&](ui::Point at, ui::PointerButton button = ui::PointerButton::primary) {
    host_->pointerPressed({at, button, {}, 1});
    host_->pointerReleased({at, button, {}, 1});
    host_->update();
  };
  focusField();
  // Within 3 points of the field, or on it, recording goes on.
  release({field.midX(), field.maxY() + 2});
  release({field.x + 4, field.midY()});
  EXPECT_TRUE(isPaused());
  release({field.maxX() + 4, field.midY()});
  EXPECT_FALSE(isPaused()) << "a click 4 points beside the field";
  EXPECT_FALSE(host_->focusedId());

  focusField();
  release({field.midX(), field.y - 30}, ui::PointerButton::middle);
  EXPECT_TRUE(isPaused()) << "the middle button is not watched";
  release({field.midX(), field.y - 30}, ui::PointerButton::secondary);
  EXPECT_FALSE(isPaused()) << "a right click above the field";

  // The clear button inside the field still works while recording.
  focusField();
  const ui::Rect clear = *host_->frameOf("HotKeys.Recorder.clear");
  release({clear.midX(), clear.midY()});
  EXPECT_FALSE(panel_->shortcut());
  EXPECT_TRUE(isPaused()) << "cleared, and recording again";
  EXPECT_EQ(beeps, 0);
}

TEST_F(RecorderViewTest, TheFieldGrowsWithALongShortcutAndKeepsItClearOfTheClearButton) {
  auto frames = [&] {
    host_->update();
    return std::tuple{*host_->frameOf("HotKeys.Recorder"), *host_->frameOf("HotKeys.Recorder.text"),
                      *host_->frameOf("HotKeys.Recorder.clear")};
  };
  auto [shortField, shortText, shortClear] = frames();
  EXPECT_EQ(shortField.width, RecorderController::kMinimumWidth);
  EXPECT_LE(shortText.maxX(), shortClear.x);

  setShortcut(Shortcut(Key::space, Flags(Flags::control | Flags::option | Flags::shift)), *panel_);
  auto [field, text, clear] = frames();
  ASSERT_NE(dump().find("Ctrl+Alt+Shift+Space"), std::string::npos);
  EXPECT_GT(field.width, RecorderController::kMinimumWidth);
  EXPECT_LE(text.maxX(), clear.x) << "the text runs under the clear button";
  EXPECT_GE(text.x, field.x);
  EXPECT_NEAR(text.midX(), field.midX(), 0.5) << "centred";
  EXPECT_LE(clear.maxX(), field.maxX());
}

TEST_F(RecorderViewTest, WarnsWhenAnotherProgramHoldsTheStoredShortcut) {
  EXPECT_FALSE(host_->frameOf("HotKeys.Recorder.warning"));
  service->takenElsewhere.insert({Key::j.rawValue, 0x1000});
  setShortcut(Shortcut(Key::j, Flags(Flags::control)), *panel_);
  host_->update();
  EXPECT_TRUE(host_->frameOf("HotKeys.Recorder.warning"));
  EXPECT_NE(dump().find("Ctrl+J"), std::string::npos);
  // The label stays level with the field, not with the field and the warning below it.
  EXPECT_NEAR(host_->frameOf("HotKeys.Recorder.label")->midY(),
              host_->frameOf("HotKeys.Recorder")->midY(), 1);
  setShortcut(Shortcut(Key::k, Flags(Flags::control)), *panel_);
  host_->update();
  EXPECT_FALSE(host_->frameOf("HotKeys.Recorder.warning"));
}

}  // namespace
}  // namespace HotKeys
