#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "DesktopSession.h"
#include "appkit/Alert.h"
#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"
#include "foundation/DispatchQueue.h"

namespace appkit {
namespace {

void pressEscape(QWidget* widget) {
  ASSERT_NE(widget, nullptr);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

std::string describe(const QRect& r) {
  return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" +
         std::to_string(r.x()) + "+" + std::to_string(r.y());
}

using namespace std::chrono_literals;
using desktoptest::pumpFor;
using desktoptest::pumpUntil;

TEST(WindowRegistry, OpensOneWindowPerNameAndForgetsItWhenClosed) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  WindowRegistry windows;
  int made = 0;
  windows.declare("Settings", {"Quillcast Settings", {500, 0}, ui::Size{520, 400}, [&] {
                                 ++made;
                                 return ui::AnyView{};
                               }});
  windows.declare("Onboarding", {"Welcome", {}, ui::Size{400, 300}, {}});
  EXPECT_TRUE(windows.open("Nothing").expired());

  auto first = windows.open("Settings");
  ASSERT_FALSE(first.expired());
  ASSERT_TRUE(pumpUntil([&] { return first.lock()->isKey(); }));
  EXPECT_EQ(first.lock()->title(), "Quillcast Settings");
  EXPECT_EQ(first.lock()->minimumSize().width, 500);
  EXPECT_EQ(windows.keyWindowName(), "Settings");

  // Opening it again raises the same window.
  auto onboarding = windows.open("Onboarding");
  ASSERT_TRUE(pumpUntil([&] { return onboarding.lock()->isKey(); }));
  EXPECT_FALSE(first.lock()->isKey());
  auto again = windows.open("Settings");
  EXPECT_EQ(again.lock(), first.lock());
  EXPECT_EQ(made, 1);
  ASSERT_TRUE(pumpUntil([&] { return first.lock()->isKey(); }));

  // The window cannot be made narrower than its minimum.
  QWidget* widget = qt::nativeWidget(*first.lock());
  widget->resize(300, 300);
  pumpFor(100ms);
  EXPECT_GE(widget->width(), 500);

  // A delayed block that holds a weak handle finds the closed window gone.
  int touched = 0;
  foundation::DispatchQueue::main().asyncAfter(100ms, [first, &touched] {
    if (auto window = first.lock()) {
      window->setTitle("changed");
      ++touched;
    }
  });
  // "Close this window" closes the key window, through the window manager's close as a user.
  EXPECT_TRUE(windows.closeKeyWindow());
  pumpFor(300ms);
  EXPECT_TRUE(first.expired());
  EXPECT_EQ(touched, 0);
  EXPECT_FALSE(windows.isOpen("Settings"));
  EXPECT_TRUE(windows.isOpen("Onboarding"));

  // Opened again, it is made afresh.
  auto reopened = windows.open("Settings");
  EXPECT_EQ(made, 2);
  EXPECT_TRUE(windows.isOpen("Settings"));

  // The user closing a window from its title bar destroys it too.
  qt::nativeWidget(*reopened.lock())->close();
  EXPECT_TRUE(pumpUntil([&] { return reopened.expired(); }));
}

TEST(WindowRegistry, AWindowHeldPastItsCloseIgnoresCalls) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  WindowRegistry windows;
  windows.declare("PromptEditor", {"Prompt Editor", {300, 200}, {}, {}});
  std::shared_ptr<Window> held = windows.open("PromptEditor").lock();
  qt::nativeWidget(*held)->close();
  EXPECT_TRUE(pumpUntil([&] { return !held->isOpen(); }));
  held->setTitle("ignored");
  held->makeKeyAndOrderFront();
  held->close();
  EXPECT_EQ(held->title(), "");
  EXPECT_FALSE(windows.isOpen("PromptEditor"));
}

TEST(WindowRegistry, WindowsOpenCentredWithinTheWorkArea) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  // A panel along the top takes its strip from the work area.
  ASSERT_TRUE(desktop.startTray(true));
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_TRUE(pumpUntil([&] { return screen->availableGeometry().top() >= 24; }));
  const QRect area = screen->availableGeometry();
  const double w = area.width(), h = area.height();
  WindowRegistry windows;
  // Wider and taller than the work area; a minimum larger than it; one that fits as it is.
  windows.declare("Onboarding", {"Onboarding", {}, ui::Size{w + 56, h + 40}, {}});
  windows.declare("PromptEditor", {"Prompt Editor", {w + 10, h + 10}, ui::Size{640, 420}, {}});
  windows.declare("Settings", {"Settings", {500, 0}, ui::Size{500, 400}, {}});
  for (const std::string name : {"Onboarding", "PromptEditor", "Settings"}) {
    SCOPED_TRACE(name);
    auto window = windows.open(name);
    ASSERT_TRUE(pumpUntil([&] { return window.lock()->isKey(); }));
    QWidget* widget = qt::nativeWidget(*window.lock());
    // Title bar and borders included, once the window manager has framed it.
    auto placed = [&] {
      const QRect frame = widget->frameGeometry();
      return frame != widget->geometry() && area.contains(frame) &&
             (frame.center() - area.center()).manhattanLength() <= 2;
    };
    EXPECT_TRUE(pumpUntil(placed)) << describe(widget->frameGeometry()) << " in " << describe(area);
    EXPECT_LE(widget->minimumWidth(), area.width());
    EXPECT_LE(widget->minimumHeight(), area.height());
    desktop.screenshot("window-fit-" + name);
    windows.close(name);
    pumpFor(100ms);
  }
  // A window that fits keeps its size.
  auto settings = windows.open("Settings");
  ASSERT_TRUE(pumpUntil([&] { return settings.lock()->isKey(); }));
  EXPECT_EQ(qt::nativeWidget(*settings.lock())->size(), QSize(500, 400));
}

TEST(Alert, AnswersWithTheButtonPressed) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  DesktopFeedback feedback;
  feedback.beep();  // the X server's bell; nothing to see, nothing may break

  auto press = [](QString title) {
    QTimer::singleShot(200, [title] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), "This shortcut is used by the menu item “Quit”.");
      EXPECT_EQ(box->informativeText(), "Choose another one.");
      for (QAbstractButton* button : box->buttons())
        if (button->text() == title) button->click();
    });
  };
  Alert alert{"This shortcut is used by the menu item “Quit”.",
              "Choose another one.",
              {"OK", "Use Anyway"}};
  press("Use Anyway");
  EXPECT_EQ(feedback.runModal(alert), Alert::firstButtonReturn + 1);
  press("OK");
  EXPECT_EQ(feedback.runModal(alert), Alert::firstButtonReturn);
  // Escape answers with the last button.
  QTimer::singleShot(200, [] { pressEscape(QApplication::activeModalWidget()); });
  EXPECT_EQ(feedback.runModal(alert), Alert::firstButtonReturn + 1);

  FakeFeedback fake;
  fake.responses = {1001};
  fake.beep();
  EXPECT_EQ(fake.runModal(alert), 1001);
  EXPECT_EQ(fake.runModal(alert), Alert::firstButtonReturn);
  EXPECT_EQ(fake.beeps, 1);
  ASSERT_EQ(fake.alerts.size(), 2u);
  EXPECT_EQ(fake.alerts[0].informativeText, "Choose another one.");
}

}  // namespace
}  // namespace appkit
