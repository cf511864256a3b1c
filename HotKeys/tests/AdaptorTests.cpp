#include <gtest/gtest.h>

#include <thread>

#include "HotKeys/KeyboardShortcutModifier.h"
#include "HotKeys/MenuItemShortcut.h"
#include "HotKeysTestSupport.h"
#include "foundation/DispatchQueue.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/TextValue.h"
#include "ui/ViewHost.h"

namespace HotKeys {
namespace {

using namespace std::chrono_literals;
using foundation::MainRunLoop::runUntil;
using Flags = ModifierFlags;

class AdaptorTest : public testing::HotKeysTest {};

TEST_F(AdaptorTest, AMenuItemFollowsItsNameOnly) {
  Name panel("showFloatingPanel", Shortcut(Key::space, Flags(Flags::option)));
  Name other("other");
  auto item = std::make_shared<MenuItem>();
  item->title = "Show Panel";
  setShortcut(item, std::optional<Name>(panel));
  EXPECT_EQ(item->keyEquivalent, "⎵");
  EXPECT_EQ(item->keyEquivalentModifierMask, Flags(Flags::option));
  EXPECT_EQ(item->keyEquivalentKeyCode, Key::space.rawValue);
  EXPECT_FALSE(item->allowsAutomaticKeyEquivalentLocalization);
  Menu menu{"", {item}};
  EXPECT_EQ(menuItemWithMatchingShortcut(menu, Shortcut(Key::space, Flags(Flags::option))), item)
      << "found, and triggered, by key";

  setShortcut(Shortcut(Key::f5, Flags()), panel);
  EXPECT_EQ(item->keyEquivalent, "\uF708");
  EXPECT_EQ(item->keyEquivalentModifierMask, Flags());
  setShortcut(Shortcut(Key::k, Flags(Flags::command)), other);
  EXPECT_EQ(item->keyEquivalent, "\uF708") << "another name's change";
  setShortcut(std::nullopt, panel);
  EXPECT_EQ(item->keyEquivalent, "");
  EXPECT_TRUE(item->allowsAutomaticKeyEquivalentLocalization);
  reset({panel});
  EXPECT_EQ(item->keyEquivalent, "⎵");

  setShortcut(item, std::optional<Name>());
  EXPECT_EQ(item->keyEquivalent, "");
  EXPECT_EQ(item->keyEquivalentModifierMask, Flags());
  EXPECT_FALSE(item->keyEquivalentKeyCode);
  setShortcut(Shortcut(Key::f5, Flags()), panel);
  EXPECT_EQ(item->keyEquivalent, "") << "no longer following";

  std::thread([&] {
    setShortcut(item, std::optional<Shortcut>(Shortcut(Key::f5, Flags())));
  }).join();
  EXPECT_EQ(item->keyEquivalent, "") << "changed on the main thread, later";
  EXPECT_TRUE(runUntil([&] { return item->keyEquivalent == "\uF708"; }, 2s));
}

TEST_F(AdaptorTest, AViewRunsItsActionForKeyUpsWhileShown) {
  Name name("toggle");
  setShortcut(Shortcut(Key::k, Flags(Flags::control)), name);
  removeAllHandlers();
  CarbonHotKeys::unregister(Shortcut(Key::k, Flags(Flags::control)));
  resetForTesting();
  const Shortcut shortcut(Key::k, Flags(Flags::control));

  int ups = 0;
  std::vector<EventType> all;
  auto content = [&] {
    return onKeyboardShortcut(onKeyboardShortcut(ui::AnyView(ui::Text::verbatim("Panel")), name,
                                                 EventType::keyUp, [&] { ++ups; }),
                              name, [&](EventType type) { all.push_back(type); });
  };
  ui::ViewHost host(content(), std::make_shared<ui::FakeTextMeasurer>());
  host.update();
  ASSERT_TRUE(runUntil([&] { return grabbed(shortcut); }, 2s));
  foundation::MainRunLoop::runFor(20ms);  // both subscriptions are set up
  press(shortcut);
  EXPECT_EQ(ups, 0) << "not on press";
  release(shortcut);
  EXPECT_EQ(ups, 1);
  host.setRoot(content());  // rebuilt: still one subscription each
  host.update();
  release(shortcut);
  EXPECT_EQ(ups, 2);
  EXPECT_EQ(all, (std::vector<EventType>{EventType::keyDown, EventType::keyUp, EventType::keyUp}));

  host.setRoot(ui::AnyView());
  host.update();
  ASSERT_TRUE(runUntil([&] { return !grabbed(shortcut); }, 2s)) << "gone with the view";
  release(shortcut);
  EXPECT_EQ(ups, 2);
}

}  // namespace
}  // namespace HotKeys
