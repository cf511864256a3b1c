#pragma once

// A desktop for the window tests: the display's turn, a window manager (openbox) or a tray
// (trayer) started on it and stopped afterwards, the application, and ways to wait for Qt.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "appkit/Application.h"
#include "testsupport/StartedPrograms.h"
#include "testsupport/X11TestClient.h"

namespace desktoptest {

using namespace std::chrono_literals;

// One helper program, started with its output discarded and ended with the test, however
// that ends.
using Helper = testsupport::StartedProgram;

// Starts `sh -c command`, its output shown with the test's; the caller waits for it.
inline std::unique_ptr<testsupport::StartedProgram> spawnShell(const std::string& command) {
  std::string program;
  std::istringstream(command) >> program;
  if (!testsupport::expectListedProgram(program)) return nullptr;
  auto shell = std::make_unique<testsupport::StartedProgram>(
      std::vector<std::string>{"sh", "-c", command}, testsupport::StartedProgram::Output::shown);
  return shell->started() ? std::move(shell) : nullptr;
}

// Made once per test process and kept to its end (Qt's application object does not survive
// the teardown of statics).
inline appkit::Application* application() {
  static int argc = 1;
  static char name[] = "quillcast-tests";
  static char* argv[] = {name, nullptr};
  static appkit::Application* app = appkit::Application::create(argc, argv).release();
  return app;
}

// Runs Qt's event loop (and with it the main queue) until the predicate holds or the time is
// up; returns the predicate's last value. The time only bounds a failure: on a machine busy
// with a parallel build, windows map and focus moves take seconds.
inline bool pumpUntil(const std::function<bool()>& predicate,
                      std::chrono::milliseconds timeout = 15s) {
  QElapsedTimer timer;
  timer.start();
  while (!predicate()) {
    if (timer.elapsed() > timeout.count()) return predicate();
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

inline void pumpFor(std::chrono::milliseconds duration) {
  pumpUntil([] { return false; }, duration);
}

inline std::vector<xcb_window_t> windowList(testx11::Connection& x, xcb_window_t window,
                                            const std::string& name) {
  testx11::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      x.get(), xcb_get_property(x.get(), 0, window, x.atom(name), XCB_ATOM_ANY, 0, 1024), nullptr));
  std::vector<xcb_window_t> out;
  if (!reply || reply->format != 32) return out;
  auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
  out.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
  return out;
}

inline xcb_window_t activeWindow(testx11::Connection& x) {
  auto list = windowList(x, x.root(), "_NET_ACTIVE_WINDOW");
  return list.empty() ? XCB_NONE : list.front();
}

// What a pager does to activate a window; the window manager obeys.
inline void activate(testx11::Connection& x, xcb_window_t window) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = x.atom("_NET_ACTIVE_WINDOW");
  event.data.data32[0] = 2;
  xcb_send_event(x.get(), 0, x.root(),
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
  x.sync();
}

// A server time stamp, as the hot key's press would carry.
inline xcb_timestamp_t serverTime(testx11::Connection& x) {
  return x.serverTime();
}

// The display for one test, with openbox managing its windows.
class Desktop {
 public:
  explicit Desktop(bool windowManager = true) {
    if (!session_.ok()) return;
    if (windowManager) {
      x_.deleteProperty(x_.root(), "_NET_SUPPORTING_WM_CHECK");
      wm_ = std::make_unique<Helper>(
          std::vector<std::string>{"openbox", "--replace", "--sm-disable"});
      // Openbox announces itself before it manages windows: it is ready once it lists a probe.
      xcb_window_t probe = x_.createWindow(0, true);
      ready_ = wm_->started() && waitFor([&] {
                 auto clients = windowList(x_, x_.root(), "_NET_CLIENT_LIST");
                 return std::find(clients.begin(), clients.end(), probe) != clients.end();
               });
      xcb_destroy_window(x_.get(), probe);
      x_.sync();
    } else {
      ready_ = true;
    }
    if (ready_) ready_ = application() != nullptr;
  }
  ~Desktop() {
    tray_.reset();
    wm_.reset();
    if (session_.ok()) {
      for (const char* name : {"_NET_ACTIVE_WINDOW", "_NET_SUPPORTING_WM_CHECK", "_NET_SUPPORTED",
                               "_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING", "_NET_WORKAREA"})
        x_.deleteProperty(x_.root(), name);
    }
  }

  bool ready() const { return ready_; }
  testx11::Connection& x() { return x_; }
  // The window manager's process, for tests in which it is slow to act.
  pid_t windowManagerPid() const { return wm_ ? wm_->pid() : -1; }

  // Starts an XEmbed system tray at the top edge; true once it owns the tray selection. One
  // that reserves its edge takes it from the work area, as a desktop's panel does.
  bool startTray(bool reservesItsEdge = false) {
    tray_ = std::make_unique<Helper>(std::vector<std::string>{
        "trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
        "--SetDockType", "true", "--SetPartialStrut", reservesItsEdge ? "true" : "false",
        "--transparent", "false", "--tint", "0x303030"});
    return tray_->started() &&
           waitFor([&] { return x_.selectionOwner("_NET_SYSTEM_TRAY_S0") != XCB_NONE; });
  }

  // Waits for the X side (not Qt) to reach a state; the bound is as generous as pumpUntil's.
  static bool waitFor(const std::function<bool()>& predicate) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (!predicate()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }

  // With QUILL_SCREENSHOT_DIR set, the screen is kept there as <name>.png.
  static void screenshot(const std::string& name) {
    const char* dir = std::getenv("QUILL_SCREENSHOT_DIR");
    if (!dir || !*dir) return;
    pumpFor(300ms);
    const std::string command =
        "import -window root '" + std::string(dir) + "/" + name + ".png' 2>/dev/null";
    [[maybe_unused]] int rc = testsupport::runCommand(command);
  }

 private:
  testx11::DisplaySession session_;
  testx11::Connection x_;
  std::unique_ptr<Helper> wm_;
  std::unique_ptr<Helper> tray_;
  bool ready_ = false;
};

}  // namespace desktoptest

#define QUILL_REQUIRE_DESKTOP(desktop)                         \
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display"; \
  ASSERT_TRUE((desktop).ready()) << "openbox did not start on the display"
