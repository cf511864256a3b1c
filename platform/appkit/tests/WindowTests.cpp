#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
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
  pumpFor(100ms);
  EXPECT_FALSE(held->isOpen());
  held->setTitle("ignored");
  held->makeKeyAndOrderFront();
  held->close();
  EXPECT_EQ(held->title(), "");
  EXPECT_FALSE(windows.isOpen("PromptEditor"));
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
