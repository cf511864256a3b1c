#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include "DesktopSession.h"
#include "appkit/StatusItem.h"

namespace appkit {
namespace {

using namespace std::chrono_literals;
using desktoptest::pumpFor;
using desktoptest::pumpUntil;

Menu statusMenu(std::vector<std::string>& chosen) {
  Menu menu;
  auto item = [&chosen](std::string title, std::string key) {
    return MenuItem::command(title, KeyEquivalent(key, ModifierFlags(ModifierFlags::control)),
                             [&chosen, title] { chosen.push_back(title); });
  };
  menu.add(item("Get Started", "1")).add(item("Prompt Editor", "2")).add(item("Settings", "3"));
  menu.add(MenuItem::separator()).add(item("Quit", "q"));
  return menu;
}

TEST(StatusItem, SitsInTheTrayWithItsMenu) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  ASSERT_TRUE(desktop.startTray()) << "trayer did not start";
  std::vector<std::string> chosen;
  StatusItem item("wand.and.stars", "Quillcast");
  item.setMenu(statusMenu(chosen));
  EXPECT_EQ(item.accessibleName(), "Quillcast");
  // In the tray once it has settled in its place there, on the screen (the tray lays its icons
  // out again as they arrive).
  std::optional<ui::Rect> last;
  ASSERT_TRUE(pumpUntil(
      [&] {
        auto f = item.screenFrame();
        const bool settled = f && f == last && f->minX() >= 0 && f->minY() >= 0 &&
                             f->maxX() <= 1280 && f->maxY() <= 800;
        last = f;
        if (!settled) pumpFor(100ms);
        return settled;
      },
      20s));
  const ui::Rect frame = *item.screenFrame();
  EXPECT_GT(frame.width, 0);
  EXPECT_LT(frame.minY(), 40);  // in the tray along the top edge

  // A click on the icon opens the menu (the click may come before the icon takes clicks).
  const std::string click = "xdotool mousemove " + std::to_string(int(frame.midX())) + " " +
                            std::to_string(int(frame.midY())) + " click 1";
  for (int attempt = 0; attempt < 3 && !item.isMenuShown(); ++attempt) {
    ASSERT_EQ(testsupport::runCommand(click), 0);
    pumpUntil([&] { return item.isMenuShown(); }, 5s);
  }
  ASSERT_TRUE(item.isMenuShown());
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QStringList texts;
  for (QAction* action : menu->actions()) texts << action->text();
  EXPECT_EQ(texts, (QStringList{"Get Started\tCtrl+1", "Prompt Editor\tCtrl+2", "Settings\tCtrl+3",
                                "", "Quit\tCtrl+Q"}));
  desktoptest::Desktop::screenshot("tray");

  // A key equivalent chooses its item: by key and modifiers, so Ctrl+Shift+2 is not Ctrl+2.
  QKeyEvent shifted(QEvent::KeyPress, Qt::Key_2, Qt::ControlModifier | Qt::ShiftModifier);
  QApplication::sendEvent(menu, &shifted);
  pumpFor(50ms);
  EXPECT_TRUE(chosen.empty());
  QKeyEvent press(QEvent::KeyPress, Qt::Key_2, Qt::ControlModifier);
  QApplication::sendEvent(menu, &press);
  EXPECT_TRUE(pumpUntil([&] { return !chosen.empty(); }));
  EXPECT_EQ(chosen, (std::vector<std::string>{"Prompt Editor"}));
  EXPECT_FALSE(item.isMenuShown());

  // Clicking an item runs it once.
  item.popUpMenu();
  ASSERT_TRUE(pumpUntil([&] { return item.isMenuShown(); }));
  menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  menu->actions().back()->trigger();
  EXPECT_TRUE(pumpUntil([&] { return chosen.size() == 2; }));
  EXPECT_EQ(chosen.back(), "Quit");
}

}  // namespace
}  // namespace appkit
