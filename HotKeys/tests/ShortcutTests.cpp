#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "HotKeys/KeyText.h"
#include "HotKeys/Shortcut.h"
#include "HotKeysTestSupport.h"

namespace HotKeys {
namespace {

using testing::HotKeysTest;
using Flags = ModifierFlags;

class ShortcutTest : public HotKeysTest {};

TEST_F(ShortcutTest, ConstructionReducesModifiersWhileDecodingKeepsThem) {
  Shortcut built(49, 0x800 | 0x4000);
  EXPECT_EQ(built.carbonModifiers, 0x800);
  auto decoded = Shortcut::fromJSON(R"({"carbonKeyCode":49,"carbonModifiers":18432})");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->carbonModifiers, 18432);
  EXPECT_NE(*decoded, built);
  EXPECT_EQ(decoded->modifiers(), Flags(Flags::option)) << "conversions ignore the extra bits";

  Shortcut space(Key::space, Flags(Flags::option | Flags::capsLock | Flags::numericPad));
  EXPECT_EQ(space.carbonModifiers, 2048);
  EXPECT_EQ(space.carbonKeyCode, 49);
  EXPECT_EQ(carbonModifiers(Flags(Flags::control | Flags::option | Flags::shift | Flags::command |
                                  Flags::function)),
            0x1000 | 0x800 | 0x200 | 0x100);
  EXPECT_EQ(modifierFlags(0xffff),
            Flags(Flags::control | Flags::option | Flags::shift | Flags::command));
}

TEST_F(ShortcutTest, JsonHasExactlyTheTwoIntegerMembers) {
  Shortcut shortcut(Key::k, Flags(Flags::command | Flags::shift));
  auto object = nlohmann::json::parse(shortcut.json());
  EXPECT_EQ(object, nlohmann::json::parse(R"({"carbonKeyCode":40,"carbonModifiers":768})"));
  EXPECT_EQ(Shortcut::fromJSON(shortcut.json()), shortcut);
  EXPECT_EQ(Shortcut::fromJSON(R"({"carbonModifiers":2048,"carbonKeyCode":49})"),
            Shortcut(49, 2048))
      << "member order does not matter";

  for (const char* bad : {R"({"carbonKeyCode":49})", R"({"carbonModifiers":2048})",
                          R"({"carbonKeyCode":"49","carbonModifiers":2048})",
                          R"({"carbonKeyCode":49.5,"carbonModifiers":2048})",
                          R"({"carbonKeyCode":49,"carbonModifiers":99999999999})", "0", "49",
                          "[49,2048]", "{", "", "null"})
    EXPECT_FALSE(Shortcut::fromJSON(bad)) << bad;
}

TEST_F(ShortcutTest, DescriptionsPutModifierGlyphsInAFixedOrder) {
  EXPECT_EQ(description(Flags(Flags::command | Flags::shift | Flags::option | Flags::control)),
            "⌃⌥⇧⌘");
  EXPECT_EQ(description(Flags()), "");
  EXPECT_EQ(description(Flags(Flags::function | Flags::shift)), "⇧\U0001F310\uFE0E");

  EXPECT_EQ(Shortcut(Key::f5, Flags()).description(), "F5");
  EXPECT_EQ(Shortcut(Key::space, Flags(Flags::option)).description(), "⌥⎵");
  // People on Linux read the keys by their names.
  EXPECT_EQ(Shortcut(Key::space, Flags(Flags::option)).displayText(), "Alt+Space");
  EXPECT_EQ(Shortcut(Key::a, Flags(Flags::command | Flags::shift | Flags::control)).displayText(),
            "Ctrl+Meta+Shift+A");
  EXPECT_EQ(Shortcut(Key::f5, Flags()).displayText(), "F5");
  EXPECT_EQ(Shortcut(Key::return_, Flags(Flags::control)).displayText(), "Ctrl+Return");
  EXPECT_EQ(Shortcut(Key::delete_, Flags(Flags::control)).displayText(), "Ctrl+Backspace");
  EXPECT_EQ(Shortcut(Key::a, Flags(Flags::command | Flags::shift)).description(), "⇧⌘A");
  EXPECT_EQ(Shortcut(Key::help, Flags()).description(), "?\u20DD");
  for (int unknown : {200, -1, 70000, 10})
    EXPECT_EQ(Shortcut(unknown, 0x1000).description(), "⌃\uFFFD") << unknown;
}

TEST_F(ShortcutTest, KeyEquivalentsAreSingleCharactersOrFunctionKeyCharacters) {
  EXPECT_EQ(Shortcut(Key::f5, Flags()).keyEquivalent(), "\uF708");
  EXPECT_EQ(Shortcut(Key::f1, Flags()).keyEquivalent(), "\uF704");
  EXPECT_EQ(Shortcut(Key::f20, Flags()).keyEquivalent(), "\uF717");
  EXPECT_EQ(Shortcut(Key::space, Flags(Flags::option)).keyEquivalent(), "⎵");
  EXPECT_EQ(Shortcut(Key::help, Flags()).keyEquivalent(), "?\u20DD") << "one cluster";
  EXPECT_EQ(Shortcut(Key::a, Flags(Flags::command)).keyEquivalent(), "a");
  EXPECT_EQ(Shortcut(200, 0).keyEquivalent(), "");
  EXPECT_EQ(Shortcut(Key::mute, Flags()).keyEquivalent(), "");
  EXPECT_EQ(keyDisplayTexts().size(), 35u);
  EXPECT_EQ(specialKeyTexts().size(), 20u);
}

TEST_F(ShortcutTest, KeyTextFollowsTheLayoutButTheCodeDoesNot) {
  // German: Y and Z swapped, ß on the minus key, a dead accent.
  carbon::KeyboardLayout::setCurrent(carbon::TableKeyboardLayout::usWith(
      {{Key::y.rawValue, "z"}, {Key::z.rawValue, "y"}, {Key::minus.rawValue, "ß"}}));
  Shortcut y(Key::y, Flags(Flags::control));
  EXPECT_EQ(y.description(), "⌃Z");
  EXPECT_EQ(y.carbonKeyCode, Key::y.rawValue);
  EXPECT_EQ(Shortcut(Key::minus, Flags(Flags::option)).description(), "⌥SS");
  EXPECT_EQ(Shortcut(Key::minus, Flags(Flags::option)).keyEquivalent(), "ß");

  // Control characters (keypad Enter types a carriage return) are no text.
  carbon::KeyboardLayout::setCurrent(carbon::TableKeyboardLayout::usWith(
      {{Key::keypadEnter.rawValue, "\r"}, {Key::keypadClear.rawValue, "\u0085"}}));
  EXPECT_EQ(Shortcut(Key::keypadEnter, Flags()).description(), "\uFFFD");
  EXPECT_EQ(Shortcut(Key::keypadClear, Flags()).description(), "\uFFFD");
  EXPECT_FALSE(keyToCharacter(Key::keypadEnter.rawValue));
}

TEST_F(ShortcutTest, OnlyKeyEventsOfKeysWithACodeMakeShortcuts) {
  InputEvent event;
  event.keyCode = Key::k.rawValue;
  event.modifierFlags = Flags(Flags::command | Flags::capsLock);
  for (auto type : {InputEventType::flagsChanged, InputEventType::leftMouseDown,
                    InputEventType::leftMouseUp, InputEventType::rightMouseUp}) {
    event.type = type;
    EXPECT_FALSE(Shortcut::fromEvent(event));
  }
  event.type = InputEventType::keyUp;
  EXPECT_EQ(Shortcut::fromEvent(event), Shortcut(Key::k, Flags(Flags::command)));
  event.type = InputEventType::keyDown;
  EXPECT_EQ(Shortcut::fromEvent(event), Shortcut(Key::k, Flags(Flags::command)));
  event.keyCode = -1;  // Print, Pause, F21...
  EXPECT_FALSE(Shortcut::fromEvent(event));
}

}  // namespace
}  // namespace HotKeys
