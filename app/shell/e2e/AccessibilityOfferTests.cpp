// The offer to switch the desktop's accessibility bus on, as the program makes it at start: a
// real alert on the desktop, answered from the keyboard, and the desktop's switch read back
// from the bus.
#include <atomic>
#include <cstdlib>
#include <thread>

#include <unistd.h>

#include "EndToEndSupport.h"
#include "shell/QuillcastApp.h"
#include "testsupport/AccessibilityBusSandbox.h"
#include "testsupport/ScopedHome.h"

namespace {

using desktoptest::pumpUntil;
using shelltest::Keyboard;
using namespace std::chrono_literals;

// The process that made the window in front, as the window says.
std::optional<std::uint32_t> processInFront(testx11::Connection& x) {
  const xcb_window_t front = desktoptest::activeWindow(x);
  if (front == XCB_NONE) return std::nullopt;
  testx11::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      x.get(), xcb_get_property(x.get(), 0, front, x.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1),
      nullptr));
  if (!reply || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
  return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

TEST(AccessibilityOffer, ABusSwitchedOffIsOfferedAtStartAndReturnTurnsItOn) {
  testsupport::ScopedHome home;
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  // Before the program: it finds the buses through the environment.
  testsupport::AccessibilityBusSandbox bus;
  ASSERT_EQ(bus.unavailableReason(), "");
  ASSERT_TRUE(bus.setEnabled(false));
  shelltest::storeUserSettings();

  // The user, at the keyboard: Return once a window of the program has it. The alert's own
  // loop runs the program meanwhile, so the user is another thread with its own connection.
  std::atomic<bool> answered{false};
  std::thread user([&] {
    testx11::Connection x;
    const bool offered = desktoptest::Desktop::waitFor(
        [&] { return processInFront(x) == static_cast<std::uint32_t>(::getpid()); });
    if (const char* dir = std::getenv("QUILL_SCREENSHOT_DIR"); offered && dir && *dir)
      testsupport::runCommand("import -window root '" + std::string(dir) +
                              "/shell-accessibility-offer.png' 2>/dev/null");
    Keyboard(x).stroke(Keyboard::kReturn);
    answered = offered;
  });

  shell::QuillcastApp app({"http://127.0.0.1:9", {}});
  app.delegate().applicationDidFinishLaunching();
  const bool wasAnswered = pumpUntil([&] { return answered.load(); }, 30s);
  user.join();
  ASSERT_TRUE(wasAnswered) << "no window of the program took the keyboard at start";
  // "Turn On" is the alert's default button.
  EXPECT_TRUE(pumpUntil([&] { return bus.enabled() == std::optional<bool>(true); }, 15s))
      << "the desktop's switch stayed off";
}

}  // namespace
