#include <gtest/gtest.h>

#include "HotKeys/Menu.h"
#include "HotKeysTestSupport.h"

namespace HotKeys {
namespace {

using testing::HotKeysTest;
using Flags = ModifierFlags;

std::shared_ptr<MenuItem> item(std::string title, std::string key,
                               Flags mask = Flags(Flags::command)) {
  auto entry = std::make_shared<MenuItem>();
  entry->title = std::move(title);
  entry->keyEquivalent = std::move(key);
  entry->keyEquivalentModifierMask = mask;
  return entry;
}

class MenuSearchTest : public HotKeysTest {};

TEST_F(MenuSearchTest, FindsItemsDepthFirstByKeyAndExactModifiers) {
  Menu menu;
  auto file = item("File", "");
  file->submenu = std::make_shared<Menu>();
  file->submenu->items = {item("Save", "s"), item("Save As…", "S"), item("Export", "e")};
  menu.items = {item("About", ""), file, item("Export Again", "e"), item("Quit", "q")};

  auto find = [&](Key key, std::uint64_t flags) -> std::string {
    auto hit = menuItemWithMatchingShortcut(menu, Shortcut(key, Flags(flags)));
    return hit ? hit->title : "";
  };
  EXPECT_EQ(find(Key::s, Flags::command), "Save") << "inside a submenu";
  EXPECT_EQ(find(Key::s, Flags::command | Flags::shift), "Save As…")
      << "an upper-case key equivalent stands for Shift";
  EXPECT_EQ(find(Key::e, Flags::command), "Export") << "the first hit depth first";
  EXPECT_EQ(find(Key::q, Flags::command), "Quit");
  EXPECT_EQ(find(Key::q, Flags::command | Flags::shift), "") << "the mask must be exact";
  EXPECT_EQ(find(Key::q, Flags::control), "");

  Menu shifted;
  shifted.items = {item("Shifted", "x", Flags(Flags::command | Flags::shift))};
  EXPECT_EQ(menuItemWithMatchingShortcut(shifted, Shortcut(Key::x, Flags(Flags::command))),
            nullptr);
}

TEST_F(MenuSearchTest, FunctionAndSymbolKeysConflictToo) {
  Menu menu;
  auto refresh = item("Refresh", "\uF708", Flags());
  auto panel = item("Panel", "⎵", Flags(Flags::option));
  panel->keyEquivalentKeyCode = Key::space.rawValue;
  auto down = item("Next", "↓", Flags(Flags::command));
  down->keyEquivalentKeyCode = Key::downArrow.rawValue;
  menu.items = {refresh, panel, down};

  EXPECT_EQ(menuItemWithMatchingShortcut(menu, Shortcut(Key::f5, Flags())), refresh);
  EXPECT_EQ(menuItemWithMatchingShortcut(menu, Shortcut(Key::space, Flags(Flags::option))), panel);
  EXPECT_EQ(menuItemWithMatchingShortcut(menu, Shortcut(Key::downArrow, Flags(Flags::command))),
            down);
  EXPECT_EQ(menuItemWithMatchingShortcut(menu, Shortcut(Key::downArrow, Flags(Flags::control))),
            nullptr);
}

}  // namespace
}  // namespace HotKeys
