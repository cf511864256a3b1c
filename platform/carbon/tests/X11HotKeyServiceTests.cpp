#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "carbon/X11HotKeyService.h"
#include "foundation/DispatchQueue.h"
#include "testsupport/X11TestClient.h"

namespace carbon {
namespace {

using namespace std::chrono_literals;
using foundation::MainRunLoop::runFor;
using foundation::MainRunLoop::runUntil;

constexpr std::uint32_t kSpace = 49, kK = 40;
constexpr xcb_keysym_t kSpaceSym = 0x20, kAltSym = 0xffe9, kControlSym = 0xffe3,
                       kNumLockSym = 0xff7f, kCapsLockSym = 0xffe5, kKSym = 'k';

struct Received {
  std::uint32_t id;
  std::uint32_t kind;
  std::uint32_t time;
};

// Types on the display through XTest, as a user would, from a connection of its own.
class Keyboard {
 public:
  explicit Keyboard(testx11::Connection& connection) : c_(connection) {}
  void down(xcb_keysym_t keysym) { fake(XCB_KEY_PRESS, keysym); }
  void up(xcb_keysym_t keysym) { fake(XCB_KEY_RELEASE, keysym); }
  void tap(xcb_keysym_t keysym) {
    down(keysym);
    up(keysym);
  }

 private:
  void fake(std::uint8_t type, xcb_keysym_t keysym) {
    xcb_keycode_t key = c_.keycodeOf(keysym);
    ASSERT_NE(key, 0) << "no key for keysym " << keysym;
    xcb_test_fake_input(c_.get(), type, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    c_.sync();
  }
  testx11::Connection& c_;
};

class X11HotKeyServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!session_.ok()) GTEST_SKIP() << "no X display";
    service_ = std::make_unique<X11HotKeyService>();
    ASSERT_TRUE(service_->ok());
    ASSERT_EQ(client_.keycodeOf(kSpaceSym), 57 + 8) << "the display does not use evdev keycodes";
    service_->installHandler([this](const HotKeyEvent* event) {
      if (event) received_.push_back({event->hotKeyID.id, event->kind, event->time});
      return status::noErr;
    });
  }

  // Waits for `count` events, then a little longer for any stray extra one.
  std::vector<Received> receive(std::size_t count) {
    runUntil([&] { return received_.size() >= count; }, 3s);
    runFor(150ms);
    return std::exchange(received_, {});
  }

  // A server may announce one mapping change more than once; a stroke made while the grabs
  // are renewed would lose its keys.
  void settleMappingRefreshes() {
    for (auto seen = service_->mappingRefreshes();; seen = service_->mappingRefreshes()) {
      runFor(300ms);
      if (service_->mappingRefreshes() == seen) return;
    }
  }

  testx11::DisplaySession session_;
  testx11::Connection client_;
  Keyboard keyboard_{client_};
  std::unique_ptr<X11HotKeyService> service_;
  std::vector<Received> received_;
};

// The names of this process's threads, as `ps -T` shows them.
std::vector<std::string> threadNames() {
  std::vector<std::string> names;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name)) names.push_back(name);
  }
  return names;
}

TEST_F(X11HotKeyServiceTest, ItsReaderThreadIsNamed) {
  // The thread names itself as it starts.
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  std::vector<std::string> names = threadNames();
  while (std::find(names.begin(), names.end(), "quill-hotkeys") == names.end() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
    names = threadNames();
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "quill-hotkeys"), names.end());
}

TEST_F(X11HotKeyServiceTest, AltSpaceFiresOncePerStrokeWithLocksOnOrOff) {
  HotKeyRef ref = 0;
  ASSERT_EQ(service_->registerHotKey(kSpace, modifier::option, {1, 7}, ref), status::noErr);
  ASSERT_NE(ref, 0u);

  auto stroke = [&] {
    keyboard_.down(kAltSym);
    keyboard_.tap(kSpaceSym);
    keyboard_.up(kAltSym);
    return receive(2);
  };
  // Each event carries the server time of its key event, taken between these two stamps.
  const xcb_timestamp_t before = client_.serverTime();
  auto events = stroke();
  const xcb_timestamp_t after = client_.serverTime();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, kEventHotKeyPressed);
  EXPECT_EQ(events[0].id, 7u);
  EXPECT_EQ(events[1].kind, kEventHotKeyReleased);
  EXPECT_NE(before, XCB_CURRENT_TIME);
  // The server stamps a property change with a clock it refreshes only when input is pending:
  // the later stamp may lag the last key's own time a little.
  constexpr xcb_timestamp_t kStampLag = 100;
  for (const auto& event : events) {
    EXPECT_GE(event.time, before);
    EXPECT_LE(event.time, after + kStampLag);
  }
  EXPECT_LE(events[0].time, events[1].time);

  keyboard_.tap(kNumLockSym);
  EXPECT_EQ(stroke().size(), 2u) << "with Num Lock on";
  keyboard_.tap(kCapsLockSym);
  EXPECT_EQ(stroke().size(), 2u) << "with Num Lock and Caps Lock on";
  keyboard_.tap(kNumLockSym);
  keyboard_.tap(kCapsLockSym);
  EXPECT_EQ(stroke().size(), 2u) << "with the locks off again";

  // A held key repeats; the hot key still goes down and up once.
  keyboard_.down(kAltSym);
  keyboard_.down(kSpaceSym);
  runFor(900ms);
  keyboard_.up(kSpaceSym);
  keyboard_.up(kAltSym);
  events = receive(2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].kind, kEventHotKeyReleased);

  // Letting go of Alt first still releases the hot key.
  keyboard_.down(kAltSym);
  keyboard_.down(kSpaceSym);
  keyboard_.up(kAltSym);
  keyboard_.up(kSpaceSym);
  events = receive(2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].kind, kEventHotKeyReleased);

  // Space without Alt is not the hot key.
  keyboard_.tap(kSpaceSym);
  EXPECT_TRUE(receive(0).empty());
  service_->unregisterHotKey(ref);
}

TEST_F(X11HotKeyServiceTest, ACombinationAnotherClientHoldsIsRefused) {
  const std::uint16_t controlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
  const xcb_keycode_t k = client_.keycodeOf(kKSym);
  xcb_grab_key(client_.get(), 0, client_.root(), controlAlt, k, XCB_GRAB_MODE_ASYNC,
               XCB_GRAB_MODE_ASYNC);
  client_.sync();

  HotKeyRef ref = 0;
  EXPECT_EQ(service_->registerHotKey(kK, modifier::control | modifier::option, {1, 1}, ref),
            status::hotKeyExists);
  EXPECT_TRUE(service_->isTakenElsewhere(kK, modifier::control | modifier::option));
  EXPECT_FALSE(service_->isTakenElsewhere(kK, modifier::control | modifier::shift));

  // The refusal left nothing grabbed: the other client's hot key keeps working.
  keyboard_.down(kControlSym);
  keyboard_.down(kAltSym);
  keyboard_.tap(kKSym);
  keyboard_.up(kAltSym);
  keyboard_.up(kControlSym);
  EXPECT_TRUE(receive(0).empty());

  xcb_ungrab_key(client_.get(), k, client_.root(), controlAlt);
  client_.sync();
  EXPECT_FALSE(service_->isTakenElsewhere(kK, modifier::control | modifier::option));
  EXPECT_EQ(service_->registerHotKey(kK, modifier::control | modifier::option, {1, 2}, ref),
            status::noErr);
  service_->unregisterHotKey(ref);
}

TEST_F(X11HotKeyServiceTest, TheGrabGoesWithTheLastRegistrationOfItsCombination) {
  const xcb_keycode_t k = client_.keycodeOf(kKSym);
  auto otherClientCanGrab = [&] {
    auto cookie = xcb_grab_key_checked(client_.get(), 0, client_.root(), XCB_MOD_MASK_CONTROL, k,
                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    testx11::Reply<xcb_generic_error_t> error(xcb_request_check(client_.get(), cookie));
    if (!error) xcb_ungrab_key(client_.get(), k, client_.root(), XCB_MOD_MASK_CONTROL);
    client_.sync();
    return !error;
  };
  HotKeyRef first = 0, second = 0;
  ASSERT_EQ(service_->registerHotKey(kK, modifier::control, {1, 1}, first), status::noErr);
  ASSERT_EQ(service_->registerHotKey(kK, modifier::control, {1, 2}, second), status::noErr);
  EXPECT_FALSE(otherClientCanGrab());
  EXPECT_FALSE(service_->isTakenElsewhere(kK, modifier::control)) << "held by us, not others";

  keyboard_.down(kControlSym);
  keyboard_.tap(kKSym);
  keyboard_.up(kControlSym);
  EXPECT_EQ(receive(4).size(), 4u) << "both registrations hear the stroke";

  service_->unregisterHotKey(first);
  EXPECT_FALSE(otherClientCanGrab());
  service_->unregisterHotKey(second);
  EXPECT_TRUE(otherClientCanGrab());
}

TEST_F(X11HotKeyServiceTest, WhileSuspendedTheKeysReachTheFocusedWindow) {
  HotKeyRef ref = 0;
  ASSERT_EQ(service_->registerHotKey(kSpace, modifier::option, {1, 4}, ref), status::noErr);
  const xcb_window_t window =
      client_.createWindow(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE, true);
  client_.focus(window);
  auto stroke = [&] {
    keyboard_.down(kAltSym);
    keyboard_.tap(kSpaceSym);
    keyboard_.up(kAltSym);
  };
  auto windowHeardSpace = [&] {
    const xcb_keycode_t space = client_.keycodeOf(kSpaceSym);
    for (const auto& key : testx11::keyEvents(client_, window, 4))
      if (key.press && key.key == space) return true;
    return false;
  };

  stroke();
  EXPECT_EQ(receive(2).size(), 2u);
  EXPECT_FALSE(windowHeardSpace()) << "grabbed: the window does not see it";

  service_->setSuspended(true);
  stroke();
  EXPECT_TRUE(receive(0).empty());
  EXPECT_TRUE(windowHeardSpace());
  EXPECT_FALSE(service_->isTakenElsewhere(kSpace, modifier::option)) << "still ours";

  service_->setSuspended(false);
  stroke();
  EXPECT_EQ(receive(2).size(), 2u);
  service_->unregisterHotKey(ref);
  xcb_destroy_window(client_.get(), window);
  client_.sync();
}

TEST_F(X11HotKeyServiceTest, SuspensionTellsWhenAnotherProgramsWindowBecomesActive) {
  // Windows say whose they are; one without a process id counts as another program's.
  const xcb_window_t ours = client_.createWindow(0, false);
  const xcb_window_t alert = client_.createWindow(0, false);
  const xcb_window_t theirs = client_.createWindow(0, false);
  const xcb_window_t anonymous = client_.createWindow(0, false);
  client_.setCardinal(ours, "_NET_WM_PID", static_cast<std::uint32_t>(::getpid()));
  client_.setCardinal(alert, "_NET_WM_PID", static_cast<std::uint32_t>(::getpid()));
  client_.setCardinal(theirs, "_NET_WM_PID", static_cast<std::uint32_t>(::getpid()) + 1);
  // What a window manager does as the user moves between windows: openbox clears the active
  // window before it names the next one.
  auto activate = [&](xcb_window_t window) {
    client_.setWindow(client_.root(), "_NET_ACTIVE_WINDOW", XCB_NONE);
    client_.setWindow(client_.root(), "_NET_ACTIVE_WINDOW", window);
  };
  // The user clicks the recorder in a window that is not active yet: the pause starts while
  // another program's window is still named, or none.
  activate(theirs);
  runFor(150ms);
  int left = 0;
  service_->setSuspended(true, [&] { ++left; });
  activate(ours);
  client_.setCardinal(client_.root(), "_NET_WM_DESKTOP_UNRELATED", 1);
  activate(alert);
  activate(ours);
  runFor(300ms);
  EXPECT_EQ(left, 0) << "still in our own windows";
  activate(theirs);
  EXPECT_TRUE(runUntil([&] { return left == 1; }, 3s));
  activate(ours);
  activate(anonymous);
  runFor(300ms);
  EXPECT_EQ(left, 1) << "told once";
  service_->setSuspended(false);

  // A pause that starts with no window named at all still ends in another program's window.
  client_.setWindow(client_.root(), "_NET_ACTIVE_WINDOW", XCB_NONE);
  service_->setSuspended(true, [&] { ++left; });
  activate(anonymous);
  EXPECT_TRUE(runUntil([&] { return left == 2; }, 3s));
  service_->setSuspended(false);
  client_.deleteProperty(client_.root(), "_NET_ACTIVE_WINDOW");
  client_.deleteProperty(client_.root(), "_NET_WM_DESKTOP_UNRELATED");
}

TEST_F(X11HotKeyServiceTest, AKeyboardMappingChangeKeepsTheHotKeyWorking) {
  HotKeyRef ref = 0;
  ASSERT_EQ(service_->registerHotKey(kSpace, modifier::option, {1, 3}, ref), status::noErr);

  // Move Alt from Mod1 to Mod3, as a desktop's keyboard settings may.
  testx11::Reply<xcb_get_modifier_mapping_reply_t> saved(xcb_get_modifier_mapping_reply(
      client_.get(), xcb_get_modifier_mapping(client_.get()), nullptr));
  ASSERT_TRUE(saved);
  const int perModifier = saved->keycodes_per_modifier;
  std::vector<xcb_keycode_t> original(
      xcb_get_modifier_mapping_keycodes(saved.get()),
      xcb_get_modifier_mapping_keycodes(saved.get()) + 8 * perModifier);
  auto moved = original;
  for (int i = 0; i < perModifier; ++i)
    std::swap(moved[3 * perModifier + i], moved[5 * perModifier + i]);
  auto setMapping = [&](std::vector<xcb_keycode_t>& keycodes) {
    testx11::Reply<xcb_set_modifier_mapping_reply_t> reply(xcb_set_modifier_mapping_reply(
        client_.get(),
        xcb_set_modifier_mapping(client_.get(), static_cast<std::uint8_t>(perModifier),
                                 keycodes.data()),
        nullptr));
    return reply && reply->status == XCB_MAPPING_STATUS_SUCCESS;
  };
  const auto refreshes = service_->mappingRefreshes();
  ASSERT_TRUE(setMapping(moved));
  EXPECT_TRUE(runUntil([&] { return service_->mappingRefreshes() > refreshes; }, 3s));
  settleMappingRefreshes();

  keyboard_.down(kAltSym);
  keyboard_.tap(kSpaceSym);
  keyboard_.up(kAltSym);
  auto events = receive(2);
  ASSERT_TRUE(setMapping(original));
  EXPECT_EQ(events.size(), 2u);

  const auto refreshesBefore = service_->mappingRefreshes();
  EXPECT_TRUE(runUntil([&] { return service_->mappingRefreshes() > refreshesBefore; }, 3s));
  settleMappingRefreshes();
  keyboard_.down(kAltSym);
  keyboard_.tap(kSpaceSym);
  keyboard_.up(kAltSym);
  EXPECT_EQ(receive(2).size(), 2u) << "and back";
  service_->unregisterHotKey(ref);
}

}  // namespace
}  // namespace carbon
