#include <gtest/gtest.h>

#include "appkit/Menu.h"

namespace appkit {
namespace {

TEST(KeyEquivalent, ComparesKeysAndModifiersNotTheirText) {
  EXPECT_EQ(KeyEquivalent("Q", Modifier::control),
            KeyEquivalent("q", Modifier::control | Modifier::shift));
  EXPECT_NE(KeyEquivalent("q", Modifier::control),
            KeyEquivalent("q", Modifier::control | Modifier::shift));
  EXPECT_EQ(KeyEquivalent("Return"), KeyEquivalent("return"));
  EXPECT_FALSE(KeyEquivalent().matches(KeyEquivalent()));
  EXPECT_TRUE(KeyEquivalent("+", Modifier::control).matches(KeyEquivalent("+", Modifier::control)));

  EXPECT_EQ(KeyEquivalent("q", Modifier::control).displayText(), "Ctrl+Q");
  EXPECT_EQ(KeyEquivalent("C", Modifier::control).displayText(), "Ctrl+Shift+C");
  EXPECT_EQ(KeyEquivalent("space", Modifier::alt).displayText(), "Alt+Space");
  EXPECT_EQ(KeyEquivalent("f5").displayText(), "F5");
  EXPECT_EQ(KeyEquivalent().displayText(), "");
}

TEST(Menu, FindsAndRunsItemsByKeyEquivalentInSubmenusToo) {
  int quit = 0, sub = 0;
  Menu submenu;
  submenu.add(MenuItem::command("Nested", KeyEquivalent("n", Modifier::control), [&] { ++sub; }));
  MenuItem disabled =
      MenuItem::command("Disabled", KeyEquivalent("d", Modifier::control), [&] { ++quit; });
  disabled.enabled = false;
  Menu menu;
  menu.add(MenuItem::command("Get Started", KeyEquivalent("1", Modifier::control), {}))
      .add(MenuItem::separator())
      .add(disabled)
      .add(MenuItem::submenuItem("More", submenu))
      .add(MenuItem::command("Quit", KeyEquivalent("q", Modifier::control), [&] { ++quit; }));

  const MenuItem* found = menu.itemWithKeyEquivalent(KeyEquivalent("N", Modifier::control));
  EXPECT_EQ(found, nullptr);  // that is Ctrl+Shift+N
  found = menu.itemWithKeyEquivalent(KeyEquivalent("n", Modifier::control));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->title, "Nested");
  EXPECT_EQ(menu.itemWithKeyEquivalent(KeyEquivalent("1", Modifier::control))->title,
            "Get Started");

  // A disabled item still holds its shortcut, but does not run.
  EXPECT_EQ(menu.itemWithKeyEquivalent(KeyEquivalent("d", Modifier::control))->title, "Disabled");
  EXPECT_FALSE(menu.performKeyEquivalent(KeyEquivalent("d", Modifier::control)));
  EXPECT_FALSE(menu.performKeyEquivalent(KeyEquivalent("1", Modifier::control)));  // no action
  EXPECT_TRUE(menu.performKeyEquivalent(KeyEquivalent("q", Modifier::control)));
  EXPECT_TRUE(menu.performKeyEquivalent(KeyEquivalent("n", Modifier::control)));
  EXPECT_EQ(quit, 1);
  EXPECT_EQ(sub, 1);
  EXPECT_FALSE(menu.performKeyEquivalent(KeyEquivalent("q")));
}

}  // namespace
}  // namespace appkit
