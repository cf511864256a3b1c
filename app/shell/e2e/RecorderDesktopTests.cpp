// The hot-key recorder of the settings window on a desktop managed by openbox, clicked and typed
// into with xdotool as a user would, beside the window of another program.
#include <poll.h>

#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "EndToEndSupport.h"
#include "HotKeys/HotKeys.h"
#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"
#include "core/DataModel.h"
#include "shell/AppDelegate.h"
#include "shell/Scenes.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/StartedPrograms.h"
#include "ui/qt/ViewWidget.h"

namespace {

using desktoptest::pumpFor;
using desktoptest::pumpUntil;
using namespace std::chrono_literals;

using shelltest::NoOpener;

bool xdotool(const std::string& arguments) {
  return testsupport::runCommand("xdotool " + arguments) == 0;
}

// Screen point of the middle of a view of the window's content.
std::optional<QPoint> centreOf(QWidget* window, std::string_view identifier) {
  auto* view = window->findChild<ui::qt::ViewWidget*>();
  if (!view) return std::nullopt;
  view->settle();
  auto frame = view->host().frameOf(identifier);
  if (!frame) return std::nullopt;
  return view->mapToGlobal(QPoint(int(frame->midX()), int(frame->midY())));
}

// Screen point of the middle of another program's 200 by 100 window.
QPoint centreOf(testx11::Connection& x, xcb_window_t window) {
  testx11::Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
      x.get(), xcb_translate_coordinates(x.get(), window, x.root(), 100, 50), nullptr));
  return at ? QPoint(at->dst_x, at->dst_y) : QPoint();
}

bool clickAt(QPoint point) {
  return xdotool("mousemove " + std::to_string(point.x()) + " " + std::to_string(point.y()) +
                 " click 1");
}

// Presses Return as soon as the desktop activates a window other than `current` (the alert the
// recorder raises), from a thread and connection of its own: the alert's modal loop runs inside
// the test's own call.
class AlertDismisser {
 public:
  explicit AlertDismisser(xcb_window_t current) : current_(current) {
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x_.get(), x_.root(), XCB_CW_EVENT_MASK, &events);
    x_.sync();
    thread_ = std::thread([this] { run(); });
  }
  ~AlertDismisser() {
    stop_ = true;
    thread_.join();
  }
  bool dismissed() const { return dismissed_; }

 private:
  void run() {
    while (!stop_) {
      const xcb_window_t active = desktoptest::activeWindow(x_);
      if (active != XCB_NONE && active != current_) {
        shelltest::Keyboard(x_).stroke(shelltest::Keyboard::kReturn);
        dismissed_ = true;
        return;
      }
      // Woken by the next property change of the root window (or after a while, to see stop_).
      pollfd fd{xcb_get_file_descriptor(x_.get()), POLLIN, 0};
      ::poll(&fd, 1, 100);
      while (testx11::Event event{xcb_poll_for_event(x_.get())}) {
      }
    }
  }

  testx11::Connection x_;
  xcb_window_t current_;
  std::atomic<bool> stop_{false}, dismissed_{false};
  std::thread thread_;
};

class RecorderOnTheDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    ASSERT_TRUE(desktop_.ready()) << "openbox did not start on the display";
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
    context_ = {std::make_shared<core::DataModel>(), &opener_, nullptr, &windows_, {}, nullptr};
    windows_.declare("Settings", shell::settingsWindow(context_));
  }
  void TearDown() override {
    windows_.close("Settings");
    pumpFor(100ms);
  }

  // The settings window, placed and active.
  QWidget* openSettings() {
    auto window = windows_.open("Settings");
    if (window.expired()) return nullptr;
    QWidget* widget = appkit::qt::nativeWidget(*window.lock());
    const bool active = pumpUntil([&] {
      return desktoptest::activeWindow(desktop_.x()) == widget->winId() &&
             centreOf(widget, "HotKeys.Recorder");
    });
    return active ? widget : nullptr;
  }

  // Another program's window, moved to the top left, clear of the centred settings window.
  bool placeBesideSettings(const shelltest::EditorClient& editor) {
    const bool managed = pumpUntil([&] {
      const auto clients =
          desktoptest::windowList(desktop_.x(), desktop_.x().root(), "_NET_CLIENT_LIST");
      return std::find(clients.begin(), clients.end(), editor.window()) != clients.end();
    });
    return managed && xdotool("windowmove " + std::to_string(editor.window()) + " 20 40") &&
           pumpUntil([&] { return centreOf(desktop_.x(), editor.window()).x() < 300; });
  }

  bool activate(xcb_window_t window, QPoint at) {
    return clickAt(at) &&
           pumpUntil([&] { return desktoptest::activeWindow(desktop_.x()) == window; });
  }

  testsupport::ScopedHome home_;
  desktoptest::Desktop desktop_;
  appkit::WindowRegistry windows_;
  NoOpener opener_;
  shell::SceneContext context_;
};

TEST_F(RecorderOnTheDesktop, TheRecordedHotKeyWorksAgainOnceTheUserGoesToAnotherProgram) {
  shelltest::EditorClient editor("some text");
  ASSERT_TRUE(placeBesideSettings(editor));
  int fired = 0;
  HotKeys::onKeyUp(shell::showFloatingPanelName(), [&] { ++fired; });
  QWidget* settings = openSettings();
  ASSERT_TRUE(settings);
  const QPoint recorder = *centreOf(settings, "HotKeys.Recorder");
  const QPoint inEditor = centreOf(desktop_.x(), editor.window());

  ASSERT_TRUE(clickAt(recorder));
  ASSERT_TRUE(pumpUntil([] { return HotKeys::isPaused(); })) << "the click started no recording";
  ASSERT_TRUE(xdotool("key F5"));
  const HotKeys::Shortcut f5(HotKeys::Key::f5, HotKeys::ModifierFlags());
  ASSERT_TRUE(pumpUntil([&] {
    return shell::showFloatingPanelName().shortcut() == f5 && !HotKeys::isPaused();
  })) << "F5 was not recorded";

  // Openbox names no window for a moment between two activations, some of the time: a few
  // rounds meet that moment at the start of the pause and at its end.
  for (int round = 1; round <= 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_TRUE(activate(editor.window(), inEditor));
    // The settings window is in the background now; a click on the recorder brings it forward
    // and records.
    ASSERT_TRUE(clickAt(recorder));
    ASSERT_TRUE(pumpUntil([&] {
      return desktoptest::activeWindow(desktop_.x()) == settings->winId() && HotKeys::isPaused();
    }));
    pumpFor(200ms);
    EXPECT_TRUE(HotKeys::isPaused()) << "recording ended as its own window became active";

    ASSERT_TRUE(activate(editor.window(), inEditor));
    EXPECT_TRUE(pumpUntil([] { return !HotKeys::isPaused(); }))
        << "still recording in the other program's window";
    ASSERT_TRUE(xdotool("key F5"));
    EXPECT_TRUE(pumpUntil([&] { return fired == round; })) << "the hot key stayed dead";
    fired = round;
  }
  EXPECT_EQ(shell::showFloatingPanelName().shortcut(), f5);
}

TEST_F(RecorderOnTheDesktop, AfterARefusedKeysAlertItRecordsUntilTheUserGoesToAnotherProgram) {
  shelltest::EditorClient editor("some text");
  ASSERT_TRUE(placeBesideSettings(editor));
  int fired = 0;
  HotKeys::onKeyUp(shell::showFloatingPanelName(), [&] { ++fired; });
  QWidget* settings = openSettings();
  ASSERT_TRUE(settings);
  const QPoint recorder = *centreOf(settings, "HotKeys.Recorder");
  ASSERT_TRUE(clickAt(recorder));
  ASSERT_TRUE(pumpUntil([] { return HotKeys::isPaused(); }));
  ASSERT_TRUE(xdotool("key F6"));
  const HotKeys::Shortcut f6(HotKeys::Key::f6, HotKeys::ModifierFlags());
  ASSERT_TRUE(pumpUntil([&] { return shell::showFloatingPanelName().shortcut() == f6; }));

  // Copy is every application's: the alert says so, and Return dismisses it as a user would.
  ASSERT_TRUE(clickAt(recorder));
  ASSERT_TRUE(pumpUntil([] { return HotKeys::isPaused(); }));
  AlertDismisser dismisser(settings->winId());
  ASSERT_TRUE(xdotool("key ctrl+c"));
  ASSERT_TRUE(pumpUntil([&] { return dismisser.dismissed(); }, 10s)) << "no alert came up";
  EXPECT_EQ(shell::showFloatingPanelName().shortcut(), f6) << "Ctrl+C was taken";
  ASSERT_TRUE(pumpUntil([&] {
    return desktoptest::activeWindow(desktop_.x()) == settings->winId() && HotKeys::isPaused();
  })) << "not recording again after the alert";
  pumpFor(300ms);
  EXPECT_TRUE(HotKeys::isPaused()) << "recording ended as its own window came back";

  ASSERT_TRUE(activate(editor.window(), centreOf(desktop_.x(), editor.window())));
  EXPECT_TRUE(pumpUntil([] { return !HotKeys::isPaused(); }))
      << "still recording in the other program's window";
  ASSERT_TRUE(xdotool("key F6"));
  EXPECT_TRUE(pumpUntil([&] { return fired == 1; })) << "the hot key stayed dead";
}

// The layout is switched for the whole display, so this runs on a display of its own: CTest starts
// it under xvfb-run with QUILL_TEST_GERMAN_LAYOUT set, after setxkbmap de.
TEST_F(RecorderOnTheDesktop, OnAGermanLayoutItRecordsTheKeyPressedAndRefusesAltGr) {
  if (!std::getenv("QUILL_TEST_GERMAN_LAYOUT"))
    GTEST_SKIP() << "runs on a German display of its own";
  int fired = 0;
  HotKeys::onKeyUp(shell::showFloatingPanelName(), [&] { ++fired; });
  QWidget* settings = openSettings();
  ASSERT_TRUE(settings);
  const auto before = shell::showFloatingPanelName().shortcut();
  ASSERT_TRUE(clickAt(*centreOf(settings, "HotKeys.Recorder")));
  ASSERT_TRUE(pumpUntil([] { return HotKeys::isPaused(); }));

  // Ctrl+AltGr+7 types "{" here: refused with an alert, the stored shortcut kept.
  {
    AlertDismisser dismisser(settings->winId());
    ASSERT_TRUE(xdotool("key ctrl+ISO_Level3_Shift+7"));
    ASSERT_TRUE(pumpUntil([&] { return dismisser.dismissed(); }, 10s)) << "no alert came up";
  }
  EXPECT_EQ(shell::showFloatingPanelName().shortcut(), before);
  ASSERT_TRUE(pumpUntil([&] {
    return desktoptest::activeWindow(desktop_.x()) == settings->winId() && HotKeys::isPaused();
  })) << "not recording again after the alert";

  // Ctrl+Shift+7 types "/": the key pressed is recorded, and fires.
  ASSERT_TRUE(xdotool("key ctrl+shift+7"));
  const HotKeys::Shortcut chord(
      HotKeys::Key::seven,
      HotKeys::ModifierFlags(HotKeys::ModifierFlags::control | HotKeys::ModifierFlags::shift));
  ASSERT_TRUE(pumpUntil([&] {
    return shell::showFloatingPanelName().shortcut() == chord && !HotKeys::isPaused();
  })) << "Ctrl+Shift+7 was not recorded as that key";
  ASSERT_TRUE(xdotool("key ctrl+shift+7"));
  EXPECT_TRUE(pumpUntil([&] { return fired == 1; })) << "the recorded key does not fire";
}

}  // namespace
