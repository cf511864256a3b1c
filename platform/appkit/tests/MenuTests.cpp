#include <gtest/gtest.h>

#include "appkit/Menu.h"

namespace appkit {
namespace {

TEST(KeyEquivalent, ComparesKeysAndModifiersNotTheirText) {
  EXPECT_EQ(KeyEquivalent("Q", ModifierFlags(ModifierFlags::control)),
            KeyEquivalent("q", ModifierFlags(ModifierFlags::control | ModifierFlags::shift)));
  EXPECT_NE(KeyEquivalent("q", ModifierFlags(ModifierFlags::control)),
            KeyEquivalent("q", ModifierFlags(ModifierFlags::control | ModifierFlags::shift)));
  EXPECT_EQ(KeyEquivalent("Return"), KeyEquivalent("return"));
  EXPECT_FALSE(KeyEquivalent().matches(KeyEquivalent()));
  // Lock keys and the numeric pad are no part of a shortcut.
  EXPECT_TRUE(KeyEquivalent("q", ModifierFlags(ModifierFlags::control))
                  .matches(KeyEquivalent(
                      "q", ModifierFlags(ModifierFlags::control | ModifierFlags::capsLock))));
  EXPECT_TRUE(KeyEquivalent("+", ModifierFlags(ModifierFlags::control))
                  .matches(KeyEquivalent("+", ModifierFlags(ModifierFlags::control))));

  EXPECT_EQ(KeyEquivalent("q", ModifierFlags(ModifierFlags::control)).displayText(), "Ctrl+Q");
  EXPECT_EQ(KeyEquivalent("C", ModifierFlags(ModifierFlags::control)).displayText(),
            "Ctrl+Shift+C");
  EXPECT_EQ(KeyEquivalent("space", ModifierFlags(ModifierFlags::option)).displayText(),
            "Alt+Space");
  EXPECT_EQ(KeyEquivalent("f5").displayText(), "F5");
  EXPECT_EQ(KeyEquivalent().displayText(), "");
}

TEST(Menu, FindsAndRunsItemsByKeyEquivalentInSubmenusToo) {
  int quit = 0, sub = 0;
  Menu submenu;
  submenu.add(MenuItem::command("Nested", KeyEquivalent("n", ModifierFlags(ModifierFlags::control)),
                                [&] { ++sub; }));
  MenuItem disabled = MenuItem::command(
      "Disabled", KeyEquivalent("d", ModifierFlags(ModifierFlags::control)), [&] { ++quit; });
  disabled.enabled = false;
  Menu menu;
  menu.add(MenuItem::command("Get Started",
                             KeyEquivalent("1", ModifierFlags(ModifierFlags::control)), {}))
      .add(MenuItem::separator())
      .add(disabled)
      .add(MenuItem::submenuItem("More", submenu))
      .add(MenuItem::command("Quit", KeyEquivalent("q", ModifierFlags(ModifierFlags::control)),
                             [&] { ++quit; }));

  const MenuItem* found =
      menu.itemWithKeyEquivalent(KeyEquivalent("N", ModifierFlags(ModifierFlags::control)));
  EXPECT_EQ(found, nullptr);  // that is Ctrl+Shift+N
  found = menu.itemWithKeyEquivalent(KeyEquivalent("n", ModifierFlags(ModifierFlags::control)));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->title, "Nested");
  EXPECT_EQ(
      menu.itemWithKeyEquivalent(KeyEquivalent("1", ModifierFlags(ModifierFlags::control)))->title,
      "Get Started");

  // A disabled item still holds its shortcut, but does not run.
  EXPECT_EQ(
      menu.itemWithKeyEquivalent(KeyEquivalent("d", ModifierFlags(ModifierFlags::control)))->title,
      "Disabled");
  EXPECT_FALSE(
      menu.performKeyEquivalent(KeyEquivalent("d", ModifierFlags(ModifierFlags::control))));
  EXPECT_FALSE(menu.performKeyEquivalent(
      KeyEquivalent("1", ModifierFlags(ModifierFlags::control))));  // no action
  EXPECT_TRUE(menu.performKeyEquivalent(KeyEquivalent("q", ModifierFlags(ModifierFlags::control))));
  EXPECT_TRUE(menu.performKeyEquivalent(KeyEquivalent("n", ModifierFlags(ModifierFlags::control))));
  EXPECT_EQ(quit, 1);
  EXPECT_EQ(sub, 1);
  EXPECT_FALSE(menu.performKeyEquivalent(KeyEquivalent("q")));
}

}  // namespace
}  // namespace appkit
