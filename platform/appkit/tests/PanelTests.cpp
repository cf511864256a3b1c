#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "DesktopSession.h"
#include "appkit/Panel.h"
#include "appkit/qt/NativeWidget.h"
#include "foundation/UserDefaults.h"
#include "ui/Views.h"
#include "ui/qt/ViewWidget.h"

namespace appkit {
namespace {

using namespace std::chrono_literals;
using desktoptest::pumpFor;
using desktoptest::pumpUntil;

std::filesystem::path temporaryDefaultsFile() {
  auto dir = std::filesystem::temp_directory_path() /
             ("quill-panel-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir / "defaults.json";
}

// A panel with something in it, as the assistant's would be.
std::unique_ptr<Panel> makePanel() {
  auto panel = std::make_unique<Panel>(ui::Rect{0, 0, 612, 90});
  panel->setTitle("Quillcast Floating");
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  auto* field = new QLineEdit;
  field->setPlaceholderText("Ask anything, or pick a prompt");
  field->setFrame(false);
  field->setStyleSheet("background: transparent; font-size: 18px;");
  layout->addWidget(field);
  layout->addWidget(new QLabel("✨  Select ⏎   |   History   |   On top"));
  content->setFocusProxy(field);
  qt::setContentWidget(*panel, content);
  return panel;
}

// The panel with a view tree in it, as the assistant fills it.
std::unique_ptr<Panel> makeViewPanel() {
  auto panel = std::make_unique<Panel>(ui::Rect{0, 0, 612, 110});
  using namespace ui;
  panel->setContent(VStack(HAlign::leading, 10,
                           {TextField("input", "Ask anything, or pick a prompt",
                                      Binding<std::string>::constant("")),
                            HStack(VAlign::center, 12,
                                   {Text::verbatim("🪄"), Spacer(),
                                    Text::verbatim("History").foregroundColor(Color::gray()),
                                    Button("Copy all", [] {})})})
                        .padding(16));
  return panel;
}

void drag(ui::Point from, ui::Point to) {
  const auto at = [](ui::Point p) {
    return std::to_string(int(p.x)) + " " + std::to_string(int(p.y));
  };
  const std::string command = "xdotool mousemove " + at(from) +
                              " sleep 0.2 mousedown 1 sleep 0.2 " + "mousemove " +
                              at({(from.x + to.x) / 2, (from.y + to.y) / 2}) +
                              " sleep 0.1 mousemove " + at(to) + " sleep 0.2 mouseup 1";
  // The pointer moves while the panel's event loop runs, as a user's would.
  const auto shell = desktoptest::spawnShell(command);
  ASSERT_TRUE(shell);
  std::optional<int> status;
  pumpUntil([&] { return (status = shell->waitForExit(0ms)).has_value(); }, 30s);
  ASSERT_EQ(status, 0);
}

bool contains(const std::vector<xcb_window_t>& list, xcb_window_t w) {
  return std::find(list.begin(), list.end(), w) != list.end();
}

TEST(Panel, FloatsAboveOtherWindowsOffTheTaskbarAndTakesTheKeyboard) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  // Another application's window, active.
  xcb_window_t editor = x.createWindow(0, true);
  ASSERT_TRUE(desktop.waitFor([&] {
    desktoptest::activate(x, editor);
    return desktoptest::activeWindow(x) == editor;
  }));

  auto panel = makePanel();
  int losses = 0;
  panel->setLostActivationHandler([&] { ++losses; });
  panel->center();  // over the editor, which the window manager centred too
  panel->show(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  const xcb_window_t id = panel->windowId();
  ASSERT_NE(id, 0u);
  EXPECT_TRUE(desktop.waitFor([&] { return desktoptest::activeWindow(x) == id; }));
  // Qt hears of the focus after the window manager has moved it.
  EXPECT_TRUE(pumpUntil([&] { return qt::nativeWidget(*panel)->focusWidget()->hasFocus(); }));
  desktoptest::Desktop::screenshot("panel");

  const auto states = desktoptest::windowList(x, id, "_NET_WM_STATE");
  EXPECT_TRUE(contains(states, x.atom("_NET_WM_STATE_SKIP_TASKBAR")));
  EXPECT_TRUE(contains(states, x.atom("_NET_WM_STATE_SKIP_PAGER")));
  EXPECT_TRUE(contains(states, x.atom("_NET_WM_STATE_ABOVE")));

  // The other application comes back to the front: the panel hears it once, and stays above.
  desktoptest::activate(x, editor);
  EXPECT_TRUE(pumpUntil([&] { return losses == 1; }));
  pumpFor(300ms);
  EXPECT_EQ(losses, 1);
  EXPECT_TRUE(panel->isVisible());
  const auto stacking = desktoptest::windowList(x, x.root(), "_NET_CLIENT_LIST_STACKING");
  auto editorAt = std::find(stacking.begin(), stacking.end(), editor);
  auto panelAt = std::find(stacking.begin(), stacking.end(), id);
  ASSERT_NE(editorAt, stacking.end());
  ASSERT_NE(panelAt, stacking.end());
  EXPECT_GT(panelAt, editorAt);
}

TEST(Panel, ItsOwnCloseAndItsOwnPopupsAreNoLoss) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto panel = makePanel();
  int losses = 0;
  panel->setLostActivationHandler([&] { ++losses; });

  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  QMenu menu(qt::nativeWidget(*panel));
  menu.addAction("Copy");
  menu.popup(qt::nativeWidget(*panel)->mapToGlobal(QPoint(20, 20)));
  pumpFor(700ms);
  EXPECT_TRUE(menu.isVisible());
  menu.close();
  pumpFor(300ms);
  EXPECT_EQ(losses, 0);

  panel->close();
  pumpFor(700ms);
  EXPECT_EQ(losses, 0);
  EXPECT_FALSE(panel->isVisible());

  // Shown again, the same panel with the same content.
  QWidget* content = qt::nativeWidget(*panel)->focusWidget();
  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  EXPECT_EQ(qt::nativeWidget(*panel)->focusWidget(), content);
}

TEST(Panel, AHandlerThatClosesThePanelRunsOnce) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  xcb_window_t other = x.createWindow(0, true);
  auto panel = makePanel();
  int losses = 0;
  panel->setLostActivationHandler([&] {
    ++losses;
    panel->close();
    // Activating another window from inside the handler reports nothing more.
    desktoptest::activate(x, other);
    pumpFor(100ms);
  });
  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  desktoptest::activate(x, other);
  EXPECT_TRUE(pumpUntil([&] { return losses >= 1; }));
  pumpFor(700ms);
  EXPECT_EQ(losses, 1);
  EXPECT_FALSE(panel->isVisible());
}

// A panel shown and key beside another window, counting the losses it hears of.
class KeyPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    QUILL_REQUIRE_DESKTOP(desktop);
    editor = desktop.x().createWindow(0, true);
    panel = makePanel();
    panel->setLostActivationHandler([this] { ++losses; });
    panel->show(desktoptest::serverTime(desktop.x()));
    ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  }

  desktoptest::Desktop desktop;
  xcb_window_t editor = XCB_NONE;
  std::unique_ptr<Panel> panel;
  int losses = 0;
};

// The hot key pressed twice in quick succession: hidden, and shown again before Qt has heard
// that the hidden panel lost the keyboard. It is key again, and hears when it loses that.
TEST_F(KeyPanel, ShownAgainAtOnceIsKeyAndHearsItsLoss) {
  auto& x = desktop.x();

  panel->close();
  pumpFor(20ms);
  panel->show(desktoptest::serverTime(x));
  EXPECT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  ASSERT_TRUE(desktop.waitFor([&] { return desktoptest::activeWindow(x) == panel->windowId(); }));
  pumpFor(300ms);
  EXPECT_TRUE(panel->isKey());
  EXPECT_EQ(losses, 0);

  desktoptest::activate(x, editor);
  EXPECT_TRUE(pumpUntil([&] { return losses == 1; }));
}

// Another program's grab of the keyboard lends the panel's focus: it stays key when the grab
// ends, and has lost it when the focus moved on meanwhile.
TEST_F(KeyPanel, AKeyboardGrabIsNoLossUnlessTheFocusMovesOnDuringIt) {
  auto& x = desktop.x();
  const auto grab = [&] {
    testx11::Reply<xcb_grab_keyboard_reply_t> reply(
        xcb_grab_keyboard_reply(x.get(),
                                xcb_grab_keyboard(x.get(), 0, x.root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr));
    return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
  };

  ASSERT_TRUE(grab());
  pumpFor(700ms);  // longer than Qt waits before it tells of a loss
  xcb_ungrab_keyboard(x.get(), XCB_CURRENT_TIME);
  xcb_flush(x.get());
  EXPECT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  pumpFor(300ms);
  EXPECT_EQ(losses, 0);

  ASSERT_TRUE(grab());
  pumpFor(100ms);
  xcb_set_input_focus(x.get(), XCB_INPUT_FOCUS_POINTER_ROOT, editor, XCB_CURRENT_TIME);
  xcb_flush(x.get());
  EXPECT_TRUE(pumpUntil([&] { return losses == 1; }));
  xcb_ungrab_keyboard(x.get(), XCB_CURRENT_TIME);
  xcb_flush(x.get());
  pumpFor(300ms);
  EXPECT_EQ(losses, 1);
  EXPECT_FALSE(panel->isKey());
}

// Shown again as the hidden panel's loss reaches Qt, on a desktop whose window manager takes
// its time to give the keyboard: the old loss closes nothing, and the keyboard comes.
TEST(Panel, ShownAgainWhileTheWindowManagerIsSlowIsNoLoss) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  const pid_t windowManager = desktop.windowManagerPid();
  ASSERT_GT(windowManager, 0);
  auto panel = makePanel();
  int losses = 0;
  panel->setLostActivationHandler([&] { ++losses; });
  panel->show(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));

  panel->close();
  ::kill(windowManager, SIGSTOP);
  panel->show(desktoptest::serverTime(x));
  pumpFor(400ms);  // Qt hears the loss of the first showing meanwhile
  ::kill(windowManager, SIGCONT);
  EXPECT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  pumpFor(1200ms);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(panel->isKey());
  EXPECT_EQ(losses, 0);
}

TEST(Panel, FrameIsSavedAndRestoredWithinTheScreens) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  foundation::UserDefaults defaults(temporaryDefaultsFile());
  auto panel = makePanel();
  EXPECT_FALSE(panel->setFrameUsingName("savedFrame", defaults));

  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  const ui::Rect saved{140, 160, 500, 200};
  panel->setFrame(saved);
  ASSERT_TRUE(pumpUntil([&] { return panel->frame() == saved; }));
  panel->saveFrame("savedFrame", defaults);
  panel->close();

  panel->center();
  EXPECT_NE(panel->frame(), saved);
  ASSERT_TRUE(panel->setFrameUsingName("savedFrame", defaults));
  panel->show();
  EXPECT_TRUE(pumpUntil([&] { return panel->frame() == saved; }));
  panel->close();

  // A frame saved on a screen that is gone comes back onto this one.
  defaults.set("savedFrame", {{"x", 5000}, {"y", -3000}, {"width", 500}, {"height", 200}});
  ASSERT_TRUE(panel->setFrameUsingName("savedFrame", defaults));
  const ui::Rect restored = panel->frame();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(restored.size(), (ui::Size{500, 200}));
  EXPECT_TRUE(screen.contains(QRect(int(restored.x), int(restored.y), 500, 200)));
}

// The window manager holds the keyboard while it moves or resizes the panel: the panel stays key
// and does not hear of a loss.
TEST(Panel, MovesByItsBackgroundAndResizesByItsEdges) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto panel = makeViewPanel();
  int losses = 0;
  panel->setLostActivationHandler([&] { ++losses; });
  panel->setFrame({300, 200, 612, 110});
  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  pumpFor(200ms);
  desktoptest::Desktop::screenshot("panel-view");

  // The padding below the content is background.
  const ui::Rect before = panel->frame();
  const ui::Point grab{before.midX(), before.maxY() - 9};
  drag(grab, {grab.x + 100, grab.y + 60});
  EXPECT_TRUE(pumpUntil([&] {
    const ui::Rect f = panel->frame();
    return std::abs(f.x - (before.x + 100)) <= 2 && std::abs(f.y - (before.y + 60)) <= 2;
  })) << panel->frame().x
      << "," << panel->frame().y;
  EXPECT_EQ(panel->frame().size(), before.size());
  EXPECT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  pumpFor(600ms);
  EXPECT_EQ(losses, 0);
  EXPECT_TRUE(panel->isKey());

  // The grip along the right edge makes it wider.
  const ui::Rect moved = panel->frame();
  drag({moved.maxX() - 2, moved.midY()}, {moved.maxX() + 78, moved.midY()});
  EXPECT_TRUE(pumpUntil([&] { return std::abs(panel->frame().width - (moved.width + 80)) <= 3; }))
      << panel->frame().width;
  EXPECT_NEAR(panel->frame().x, moved.x, 2);
  pumpFor(600ms);
  EXPECT_EQ(losses, 0);
  EXPECT_TRUE(panel->isKey());
}

TEST(Panel, TheControlItsContentGaveTheKeyboardKeepsIt) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto panel = makePanel();
  auto* content = qt::nativeWidget(*panel)->findChild<QLineEdit*>()->parentWidget();
  auto* second = new QLineEdit(content);
  content->layout()->addWidget(second);
  second->setFocus();
  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  EXPECT_EQ(QApplication::focusWidget(), second);
}

// Types into whatever has the keyboard, as a user would, while the panel's event loop runs.
void type(const std::string& text) {
  const auto shell = desktoptest::spawnShell("xdotool type --delay 30 '" + text + "'");
  ASSERT_TRUE(shell);
  std::optional<int> status;
  pumpUntil([&] { return (status = shell->waitForExit(0ms)).has_value(); }, 30s);
  ASSERT_EQ(status, 0);
}

// A view tree focuses its field as it is first built, long before the panel is shown: the
// first show, over another application, and every later one, type into that field.
TEST(Panel, TheFieldItsContentFocusedTakesTheTypingFromTheFirstShow) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  xcb_window_t editor = x.createWindow(0, true);
  auto text = std::make_shared<std::string>();
  auto panel = std::make_unique<Panel>(ui::Rect{0, 0, 612, 110});
  {
    using namespace ui;
    const Identity field("input");
    panel->setContent(
        VStack(HAlign::leading, 10,
               {TextField(field, "Ask anything, or pick a prompt",
                          Binding<std::string>([text] { return *text; },
                                               [text](std::string t) { *text = std::move(t); }))
                    .focused(Binding<std::optional<Identity>>::constant(field), field),
                Button("Copy all", [] {})})
            .padding(16));
  }
  pumpFor(200ms);  // its frames run while it is hidden

  std::string expected;
  for (const std::string typed : {"first", "again"}) {
    ASSERT_TRUE(desktop.waitFor([&] {
      desktoptest::activate(x, editor);
      return desktoptest::activeWindow(x) == editor;
    }));
    expected += typed;
    panel->center();
    panel->show(desktoptest::serverTime(x));
    ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
    ASSERT_TRUE(desktop.waitFor([&] { return desktoptest::activeWindow(x) == panel->windowId(); }));
    type(typed);
    EXPECT_TRUE(pumpUntil([&] { return *text == expected; })) << "the field holds: " << *text;
    panel->close();
    pumpFor(100ms);
  }
}

// What the screen shows where `frame` is, once the loop has settled.
QImage screenAt(const ui::Rect& frame) {
  pumpFor(300ms);
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, int(frame.x), int(frame.y), int(frame.width), int(frame.height))
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

bool isMapped(testx11::Connection& x, xcb_window_t window) {
  testx11::Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
      x.get(), xcb_get_window_attributes(x.get(), window), nullptr));
  return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
}

ui::AnyView labelledView(const std::string& label) {
  using namespace ui;
  return VStack(HAlign::leading, 10,
                {Text::verbatim(label), HStack(VAlign::center, 12,
                                               {Text::verbatim("🪄 ✍️ 🔍"), Spacer(),
                                                Text::verbatim("History").font(Font::headline()),
                                                Button("Copy all", [] {})})})
      .padding(16);
}

// A panel prepared long before its first show, whose content then changes while it is hidden,
// shows what a panel that was never prepared shows; preparing leaves it unmapped, and preparing
// a shown panel changes nothing.
TEST(Panel, APreparedPanelStaysHiddenAndFirstShowsWhatItHoldsThen) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  const ui::Rect frame{300, 200, 612, 110};

  Panel reference(ui::Rect{0, 0, 612, 110});
  reference.setContent(labelledView("The text shown at last"));
  EXPECT_EQ(reference.windowId(), 0u);  // made at the first show only
  reference.setFrame(frame);
  reference.show();
  ASSERT_TRUE(pumpUntil([&] { return reference.isKey(); }));
  const QImage expected = screenAt(frame);
  reference.close();
  pumpFor(200ms);

  Panel prepared(ui::Rect{0, 0, 612, 110});
  prepared.setContent(labelledView("The text at start"));
  pumpFor(100ms);
  // Nothing is mapped meanwhile, not even for a moment.
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(x.get(), x.root(), XCB_CW_EVENT_MASK, &mask);
  x.sync();
  prepared.prepare();
  const xcb_window_t id = prepared.windowId();
  ASSERT_NE(id, 0u);
  pumpFor(300ms);
  EXPECT_FALSE(prepared.isVisible());
  EXPECT_FALSE(isMapped(x, id));
  x.sync();
  int maps = 0;
  while (testx11::Event e{xcb_poll_for_event(x.get())})
    if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) ++maps;
  EXPECT_EQ(maps, 0);

  auto* content = qt::nativeWidget(prepared)->findChild<ui::qt::ViewWidget*>();
  ASSERT_NE(content, nullptr);
  content->setRoot(labelledView("The text shown at last"));
  pumpFor(100ms);
  prepared.setFrame(frame);
  prepared.show();
  ASSERT_TRUE(pumpUntil([&] { return prepared.isKey(); }));
  const QImage shown = screenAt(frame);
  EXPECT_EQ(shown, expected);
  if (shown != expected && std::getenv("QUILL_SCREENSHOT_DIR")) {
    const std::string dir = std::getenv("QUILL_SCREENSHOT_DIR");
    expected.save(QString::fromStdString(dir + "/panel-unprepared.png"));
    shown.save(QString::fromStdString(dir + "/panel-prepared.png"));
  }

  prepared.prepare();
  pumpFor(100ms);
  EXPECT_TRUE(prepared.isKey());
  EXPECT_EQ(prepared.windowId(), id);
  EXPECT_EQ(screenAt(frame), expected);
}

void showDesktop(testx11::Connection& x, std::uint32_t number) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = x.root();
  message.type = x.atom("_NET_CURRENT_DESKTOP");
  message.data.data32[0] = number;
  xcb_send_event(x.get(), 0, x.root(),
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&message));
  x.sync();
}

// What the panel learnt of the desktop at start is its names only: each show opens it on the
// desktop shown then.
TEST(Panel, EachShowOpensOnTheDesktopShownThen) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  auto shownDesktop = [&] { return desktoptest::windowList(x, x.root(), "_NET_CURRENT_DESKTOP"); };
  ASSERT_EQ(shownDesktop(), std::vector<xcb_window_t>{0}) << "openbox shows another desktop";
  auto panel = makeViewPanel();
  panel->prepare();
  const xcb_window_t id = panel->windowId();
  ASSERT_NE(id, 0u);

  for (const std::uint32_t number : {1u, 0u}) {
    showDesktop(x, number);
    ASSERT_TRUE(desktop.waitFor([&] {
      return shownDesktop() == std::vector<xcb_window_t>{number};
    })) << "openbox has no desktop "
        << number;
    panel->show(desktoptest::serverTime(x));
    // Shown on another desktop, the window manager would keep it unmapped.
    EXPECT_TRUE(pumpUntil([&] { return panel->isKey() && isMapped(x, id); }))
        << "on desktop " << number;
    EXPECT_EQ(desktoptest::windowList(x, id, "_NET_WM_DESKTOP"), std::vector<xcb_window_t>{number});
    panel->close();
    pumpFor(100ms);
  }
}

ui::AnyView hostedControlsView() {
  using namespace ui;
  TextEditorWidget line;
  line.placeholder = "Ask AI...";
  line.growsWithContent = true;
  line.bordered = false;
  line.font = Font::system(18);
  TextFieldWidget field;
  field.placeholder = "A field";
  return VStack(HAlign::leading, 10,
                {ScrollView(Representable(Identity(1), line, RepresentableSizing{})),
                 Representable(Identity(2), field, kTextFieldSizing),
                 Text::verbatim("Below the controls")})
      .padding(16);
}

// The hosted controls of a panel prepared as the program prepares it (before its content's first
// frame) are drawn at its first show as in a panel that was never prepared.
TEST(Panel, APreparedPanelDrawsItsHostedControls) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  const ui::Rect frame{300, 200, 612, 160};

  Panel reference(ui::Rect{0, 0, 612, 160});
  reference.setContent(hostedControlsView());
  reference.setFrame(frame);
  reference.show();
  ASSERT_TRUE(pumpUntil([&] { return reference.isKey(); }));
  const QImage expected = screenAt(frame);
  reference.close();
  pumpFor(200ms);

  Panel prepared(ui::Rect{0, 0, 612, 160});
  prepared.setContent(hostedControlsView());
  prepared.prepare();
  pumpFor(200ms);
  prepared.setFrame(frame);
  prepared.show();
  ASSERT_TRUE(pumpUntil([&] { return prepared.isKey(); }));
  const QImage shown = screenAt(frame);
  if (const char* dir = std::getenv("QUILL_SCREENSHOT_DIR")) {
    expected.save(QString::fromStdString(std::string(dir) + "/panel-hosted-unprepared.png"));
    shown.save(QString::fromStdString(std::string(dir) + "/panel-hosted-prepared.png"));
  }
  EXPECT_EQ(shown, expected);
}

// Without a compositor the window's shape cuts the corners: shown again after a resize while it
// was hidden, the panel's shape is its new size's.
TEST(Panel, ItsShapeFollowsItsSizeFromOneShowToTheNext) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  if (Application::shared()->isCompositing()) GTEST_SKIP() << "a compositor runs";
  auto panel = makeViewPanel();
  panel->setFrame({300, 200, 300, 110});
  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  panel->close();
  pumpFor(200ms);

  const ui::Rect larger{300, 200, 500, 200};
  panel->setFrame(larger);
  panel->show();
  ASSERT_TRUE(pumpUntil([&] { return panel->isKey(); }));
  const QImage screen = screenAt(larger);
  const QColor material(36, 36, 38);
  // Within the new size but outside the old one, the panel is drawn; its corners are cut.
  EXPECT_EQ(screen.pixelColor(450, 190), material);
  EXPECT_EQ(screen.pixelColor(495, 100), material);
  EXPECT_NE(screen.pixelColor(0, 0), material);
  EXPECT_NE(screen.pixelColor(499, 199), material);
}

TEST(Panel, CentresOnTheScreen) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto panel = makePanel();
  panel->center();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const ui::Rect frame = panel->frame();
  EXPECT_NEAR(frame.midX(), screen.center().x(), 1);
  EXPECT_NEAR(frame.midY(), screen.center().y(), 1);
  EXPECT_EQ(frame.size(), (ui::Size{612, 90}));
}

}  // namespace
}  // namespace appkit
