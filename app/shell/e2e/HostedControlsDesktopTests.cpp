// The hosted Qt controls (text fields, text editors, the picker) of the titled windows, read
// back from the screen's pixels of the real windows under openbox: each is drawn, and what is
// typed into the key field shows there without moving the picker.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTextEdit>
#include <QWidget>
#include <map>
#include <string>

#include "EndToEndSupport.h"
#include "ScreenPixels.h"
#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"
#include "core/DataModel.h"
#include "foundation/UserDefaults.h"
#include "shell/Scenes.h"
#include "shell/SettingView.h"
#include "testsupport/ScopedHome.h"
#include "ui/qt/ViewWidget.h"

namespace {

using desktoptest::pumpFor;
using desktoptest::pumpUntil;
using shelltest::Keyboard;
using namespace std::chrono_literals;

using shelltest::NoOpener;

using desktoptest::screenPixelsOf;

// Pixels that differ clearly from the region's most common colour: a frame, text, a caret.
int inkIn(const QImage& image) {
  return desktoptest::inkIn(image, 24);
}

QImage screenPixelsOf(const QWidget* widget, const QRect& area) {
  const QPoint at = widget->mapToGlobal(area.topLeft());
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, at.x(), at.y(), area.width(), area.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

ui::qt::ViewWidget* contentOf(QWidget* window) {
  for (QWidget* w : window->findChildren<QWidget*>())
    if (auto* view = dynamic_cast<ui::qt::ViewWidget*>(w)) return view;
  return nullptr;
}

std::vector<QWidget*> hostedControls(QWidget* window) {
  std::vector<QWidget*> controls;
  for (QWidget* w : window->findChildren<QWidget*>())
    if (w->isVisible() &&
        (qobject_cast<QLineEdit*>(w) || qobject_cast<QTextEdit*>(w) || qobject_cast<QComboBox*>(w)))
      controls.push_back(w);
  return controls;
}

class HostedControls : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!desktop.ready()) return;
    windows.declare("Settings", shell::settingsWindow(context));
    windows.declare("PromptEditor", shell::promptEditorWindow(context));
  }

  // The window opened, framed by the window manager and active.
  QWidget* open(const std::string& name) {
    auto window = windows.open(name);
    if (window.expired()) return nullptr;
    QWidget* widget = appkit::qt::nativeWidget(*window.lock());
    const bool shown = pumpUntil(
        [&] { return widget->isActiveWindow() && widget->frameGeometry() != widget->geometry(); });
    pumpFor(400ms);
    return shown ? widget : nullptr;
  }

  // Every hosted control of the window is drawn where it stands on the screen.
  void expectEveryControlDrawn(QWidget* window, const std::string& name) {
    const auto controls = hostedControls(window);
    EXPECT_FALSE(controls.empty()) << name;
    for (QWidget* control : controls)
      EXPECT_GT(inkIn(screenPixelsOf(control)), 20)
          << name << ": nothing drawn where the " << control->metaObject()->className()
          << " stands";
  }

  testsupport::ScopedHome home;
  desktoptest::Desktop desktop;
  appkit::WindowRegistry windows;
  std::shared_ptr<core::DataModel> model = std::make_shared<core::DataModel>();
  NoOpener opener;
  shell::SceneContext context{model, &opener, nullptr, &windows, {}, nullptr};
};

TEST_F(HostedControls, SettingsDrawsItsFieldAndPickerAndTheTypedKey) {
  QUILL_REQUIRE_DESKTOP(desktop);
  QWidget* window = open("Settings");
  ASSERT_NE(window, nullptr) << "the settings window did not open";
  expectEveryControlDrawn(window, "Settings");
  QLineEdit* key = window->findChild<QLineEdit*>();
  QComboBox* picker = window->findChild<QComboBox*>();
  ASSERT_TRUE(key && picker);
  desktoptest::Desktop::screenshot("settings-window");

  const QImage keyBefore = screenPixelsOf(key);
  const QRect pickerFrame(picker->mapToGlobal(QPoint(0, 0)), picker->size());
  Keyboard keys(desktop.x());
  // X counts device pixels.
  const QPointF inWindow =
      QPointF(key->mapTo(window, QPoint(20, key->height() / 2))) * window->devicePixelRatioF();
  keys.clickInto(static_cast<xcb_window_t>(window->winId()), int(inWindow.x()), int(inWindow.y()));
  ASSERT_TRUE(pumpUntil([&] { return key->hasFocus(); })) << "the key field took no click";
  keys.type("sk");
  ASSERT_TRUE(pumpUntil([&] { return key->text() == "sk"; })) << key->text().toStdString();
  pumpFor(400ms);
  EXPECT_NE(screenPixelsOf(key), keyBefore) << "the typed key is not drawn";
  // The notice appeared without moving the picker under the pointer.
  EXPECT_EQ(QRect(picker->mapToGlobal(QPoint(0, 0)), picker->size()), pickerFrame);
  EXPECT_GT(inkIn(screenPixelsOf(picker)), 20);
  desktoptest::Desktop::screenshot("settings-window-typed");

  // The copy-method check box is drawn, and a click ticks it on the screen.
  auto* content = contentOf(window);
  ASSERT_NE(content, nullptr);
  const auto box = content->host().frameOf(shell::settingIds::kUseCopyHack);
  ASSERT_TRUE(box);
  const QRect boxArea = QRectF(box->x, box->y, box->width, box->height).toAlignedRect();
  const QImage unticked = screenPixelsOf(content, boxArea);
  EXPECT_GT(inkIn(unticked), 20) << "the check box is not drawn";
  const QPointF boxAt = QPointF(content->mapTo(window, boxArea.topLeft() + QPoint(8, 8))) *
                        window->devicePixelRatioF();
  keys.clickInto(static_cast<xcb_window_t>(window->winId()), int(boxAt.x()), int(boxAt.y()));
  ASSERT_TRUE(pumpUntil([] {
    return foundation::UserDefaults::standard().boolForKey("useCopyHack");
  })) << "the click did not reach the check box";
  pumpFor(300ms);
  EXPECT_NE(screenPixelsOf(content, boxArea), unticked) << "the ticked box looks as before";
  windows.close("Settings");
  pumpFor(100ms);
}

TEST_F(HostedControls, ThePromptEditorDrawsItsFieldsAndEditors) {
  QUILL_REQUIRE_DESKTOP(desktop);
  QWidget* window = open("PromptEditor");
  ASSERT_NE(window, nullptr) << "the prompt editor did not open";
  expectEveryControlDrawn(window, "PromptEditor");
  desktoptest::Desktop::screenshot("prompt-editor-window");
  windows.close("PromptEditor");
  pumpFor(100ms);
}

}  // namespace
