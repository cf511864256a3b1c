#include <gtest/gtest.h>

#include <xcb/xtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "accessibility/X11KeyEventPoster.h"
#include "testsupport/StartedPrograms.h"
#include "testsupport/X11TestClient.h"

namespace accessibility {
namespace {

constexpr std::uint16_t kControlMask = XCB_MOD_MASK_CONTROL;

using namespace std::chrono_literals;

// A private X server, for a test that changes the keyboard layout: the shared display's other
// tests must not see it. DISPLAY names it while it lives; the server ends with it, or with the
// test process, however that ends.
class PrivateDisplay {
 public:
  // -noreset: a server that resets when its last client leaves (setxkbmap does, at once)
  // refuses connections meanwhile and forgets the layout just set.
  PrivateDisplay()
      : saved_(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ""),
        server_({"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0",
                 "640x480x24"},
                testsupport::StartedProgram::Output::read) {
    // The server writes its display's number once it takes connections.
    const auto number = server_.readLine(60s);
    if (!number || number->empty()) return;
    name_ = ":" + *number;
    ::setenv("DISPLAY", name_.c_str(), 1);
  }
  ~PrivateDisplay() {
    if (saved_.empty()) {
      ::unsetenv("DISPLAY");
    } else {
      ::setenv("DISPLAY", saved_.c_str(), 1);
    }
  }
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  bool ok() const { return !name_.empty(); }
  const std::string& name() const { return name_; }

 private:
  std::string saved_;
  testsupport::StartedProgram server_;
  std::string name_;
};

TEST(X11KeyEventPoster, TypesCopyAsControlCIntoTheFocusedWindow) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  xcb_window_t window =
      app.createWindow(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE, true);
  app.focus(window);
  const auto control = app.keycodeOf(0xffe3);
  const auto c = app.keycodeOf('c');

  X11KeyEventPoster keys;
  ASSERT_TRUE(keys.ok());
  ASSERT_TRUE(keys.postKeyStroke(kVirtualKeyC, kEventFlagMaskCommand));
  auto events = testx11::keyEvents(app, window, 4);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_TRUE(events[0].press && events[0].key == control);
  EXPECT_TRUE(events[1].press && events[1].key == c);
  EXPECT_EQ(events[1].state, kControlMask);
  EXPECT_TRUE(!events[2].press && events[2].key == c);
  EXPECT_TRUE(!events[3].press && events[3].key == control);
  EXPECT_FALSE(app.keyIsDown(control));

  EXPECT_FALSE(keys.post({127, true, 0}));  // no such key
}

TEST(X11KeyEventPoster, WithoutLatinKeysCopyAndPasteUseTheKeysLabelledCAndV) {
  PrivateDisplay display;
  ASSERT_TRUE(display.ok()) << "Xvfb did not start";
  ASSERT_EQ(testsupport::runCommand("setxkbmap us"), 0);
  testx11::Connection app;
  ASSERT_TRUE(app.ok());
  xcb_window_t window =
      app.createWindow(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE, true);
  app.focus(window);
  const auto c = app.keycodeOf('c');
  const auto v = app.keycodeOf('v');
  ASSERT_NE(c, 0);
  ASSERT_NE(v, 0);

  ASSERT_EQ(testsupport::runCommand("setxkbmap ru"), 0);
  ASSERT_EQ(app.keycodeOf('c'), 0);  // no key of the Russian layout types a Latin letter
  X11KeyEventPoster keys(display.name());
  ASSERT_TRUE(keys.ok());
  for (auto [virtualKey, expected] : {std::pair{kVirtualKeyC, c}, std::pair{kVirtualKeyV, v}}) {
    ASSERT_TRUE(keys.postKeyStroke(virtualKey, kEventFlagMaskCommand));
    auto events = testx11::keyEvents(app, window, 4);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_TRUE(events[1].press && events[1].key == expected);
    EXPECT_EQ(events[1].state & kControlMask, kControlMask);
  }
}

TEST(X11KeyEventPoster, HeldModifiersDoNotReachTheShortcut) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  xcb_window_t window =
      app.createWindow(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE, true);
  app.focus(window);
  const auto shift = app.keycodeOf(0xffe1);
  const auto v = app.keycodeOf('v');

  // The user still holds Shift of the hot key.
  xcb_test_fake_input(app.get(), XCB_KEY_PRESS, shift, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  app.sync();
  X11KeyEventPoster keys({}, 100ms);
  ASSERT_TRUE(keys.postKeyStroke(kVirtualKeyV, kEventFlagMaskCommand));
  auto events = testx11::keyEvents(app, window, 7);
  ASSERT_EQ(events.size(), 7u);
  EXPECT_TRUE(events[0].press && events[0].key == shift);
  EXPECT_TRUE(!events[1].press && events[1].key == shift);
  EXPECT_TRUE(events[3].press && events[3].key == v);
  EXPECT_EQ(events[3].state, kControlMask);
  EXPECT_TRUE(events[6].press && events[6].key == shift);
  EXPECT_TRUE(app.keyIsDown(shift));  // as the user still holds it

  xcb_test_fake_input(app.get(), XCB_KEY_RELEASE, shift, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  app.sync();
}

TEST(X11KeyEventPoster, PasteWaitsForTheUsersControlAndPressesItsOwn) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  xcb_window_t window =
      app.createWindow(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE, true);
  app.focus(window);
  const auto control = app.keycodeOf(0xffe3);
  const auto v = app.keycodeOf('v');

  // The user still holds Ctrl of Ctrl+Return, and lets go of it a little later.
  xcb_test_fake_input(app.get(), XCB_KEY_PRESS, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  app.sync();
  X11KeyEventPoster keys;
  std::thread paste([&] { EXPECT_TRUE(keys.postKeyStroke(kVirtualKeyV, kEventFlagMaskCommand)); });
  std::this_thread::sleep_for(150ms);
  xcb_test_fake_input(app.get(), XCB_KEY_RELEASE, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  app.sync();
  paste.join();
  auto events = testx11::keyEvents(app, window, 6);
  ASSERT_EQ(events.size(), 6u);
  // The user's press and release come first: the V never counted on them.
  EXPECT_TRUE(events[0].press && events[0].key == control);
  EXPECT_TRUE(!events[1].press && events[1].key == control);
  EXPECT_TRUE(events[2].press && events[2].key == control);
  EXPECT_TRUE(events[3].press && events[3].key == v);
  EXPECT_EQ(events[3].state, kControlMask);
  EXPECT_TRUE(!events[4].press && events[4].key == v);
  EXPECT_TRUE(!events[5].press && events[5].key == control);
  EXPECT_FALSE(app.keyIsDown(control));
}

}  // namespace
}  // namespace accessibility
