#pragma once

// The whole program against applications nobody here wrote: gedit, Chromium, LibreOffice
// Writer and xterm, on the test's display under openbox, with the accessibility bus or without
// it. The test does what a user does (keys and clicks through XTest) and reads each document
// back from the application itself.

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "DesktopSession.h"
#include "EndToEndSupport.h"
#include "panel/AppKitPanelWindow.h"
#include "panel/FloatingPanel.h"
#include "panel/FloatingViewPanel.h"
#include "shell/QuillcastApp.h"
#include "testsupport/AccessibilityBusSandbox.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ScopedHome.h"

namespace realapps {

using desktoptest::pumpUntil;
using shelltest::Keyboard;
using namespace std::chrono_literals;

// Big programs start slowly on a loaded machine.
inline constexpr auto kStartWait = 90s;
inline constexpr auto kWait = 30s;

inline constexpr xcb_keysym_t kHome = 0xff50, kRight = 0xff53, kDown = 0xff54, kTab = 0xff09,
                              kShiftL = 0xffe1;

enum class Bus { off, on };

// What a window's title bar says.
inline std::string windowTitle(testx11::Connection& x, xcb_window_t window) {
  for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
    testx11::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        x.get(),
        xcb_get_property(x.get(), 0, window, x.atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
    if (reply && xcb_get_property_value_length(reply.get()) > 0)
      return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                         static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
  }
  return {};
}

inline int windowProcess(testx11::Connection& x, xcb_window_t window) {
  testx11::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      x.get(), xcb_get_property(x.get(), 0, window, x.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1),
      nullptr));
  if (!reply || xcb_get_property_value_length(reply.get()) < 4) return -1;
  return static_cast<int>(*static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get())));
}

// The session: the program in this process, the chat service on a loopback server, and the
// applications the test starts, all on the same bus, or all without one.
class RealApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { QUILL_REQUIRE_DESKTOP(desktop); }

  // Starts the program, after the bus when there is to be one: it connects to the bus it finds
  // in the environment.
  void startProgram(Bus mode) {
    mode_ = mode;
    folder_ = home.path() / "documents-of-the-test";
    std::filesystem::create_directories(folder_);
    if (mode == Bus::on) {
      bus_ = std::make_unique<testsupport::AccessibilityBusSandbox>();
      ASSERT_EQ(bus_->unavailableReason(), "");
      // As a desktop with assistive technologies on: browsers expose themselves only then.
      ASSERT_TRUE(bus_->setEnabled(true));
    } else {
      // No session bus at all: neither the program nor the applications find one.
      ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (folder_ / "no-bus").string()).c_str(),
               1);
      ::unsetenv("AT_SPI_BUS_ADDRESS");
    }
    server.replyWith(testsupport::kChatPath, [this](const testsupport::RecordedRequest& request) {
      const auto json = nlohmann::json::parse(request.body, nullptr, false);
      if (!json.is_object() || !json.value("stream", false))
        return testsupport::LoopbackServer::Reply{
            200, testsupport::chatReply("📝 Trial"), "application/json", {}};
      std::string body;
      {
        std::lock_guard lock(answerMutex_);
        body = testsupport::deltaEvent(answer_.substr(0, 3)) +
               testsupport::deltaEvent(answer_.substr(3));
      }
      body += "data: [DONE]\n\n";
      return testsupport::LoopbackServer::Reply{200, body, "text/event-stream", {}};
    });
    shelltest::storeUserSettings();
    app_ = std::make_unique<shell::QuillcastApp>(shell::QuillcastAppOptions{server.url(""), {}});
    app_->delegate().applicationDidFinishLaunching();
    ASSERT_NE(app_->delegate().floatingPanel(), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return panelWindow().windowId() != 0; }));
  }

  // The environment of an application started now, with `extra` ("NAME=value") added.
  std::vector<std::string> applicationEnvironment(std::vector<std::string> extra = {}) const {
    std::vector<std::string> env{"GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE"};
    if (bus_) {
      for (auto& entry : bus_->environment()) env.push_back(entry);
    } else {
      env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + (folder_ / "no-bus").string());
      env.push_back("AT_SPI_BUS_ADDRESS");
      env.push_back("NO_AT_BRIDGE=1");
    }
    for (auto& entry : extra) env.push_back(std::move(entry));
    return env;
  }

  // Starts `argv` and waits until a window whose title holds `title` is active: its id.
  xcb_window_t startApplication(const std::vector<std::string>& argv, const std::string& title,
                                std::vector<std::string> extraEnvironment = {}) {
    programs_.push_back(std::make_unique<testsupport::StartedProgram>(
        argv, testsupport::StartedProgram::Output::discarded,
        applicationEnvironment(std::move(extraEnvironment))));
    EXPECT_TRUE(programs_.back()->started()) << argv[0];
    xcb_window_t window = XCB_NONE;
    const bool up = pumpUntil(
        [&] {
          window = desktoptest::activeWindow(desktop.x());
          return window != XCB_NONE &&
                 windowTitle(desktop.x(), window).find(title) != std::string::npos;
        },
        kStartWait);
    EXPECT_TRUE(up) << argv[0] << " showed no window titled \"" << title << "\"; in front: \""
                    << windowTitle(desktop.x(), desktoptest::activeWindow(desktop.x())) << "\"";
    if (!up) return XCB_NONE;
    EXPECT_TRUE(focusedTextOnTheBus(window)) << argv[0] << " showed no focused text on the bus";
    return window;
  }

  // A text of the active window of process `pid`, as the accessibility bus shows it.
  struct Text {
    std::string role, text;
    bool focused = false;
    int caret = -1;
    std::vector<std::pair<int, int>> selections;
  };
  std::vector<Text> textsOnTheBus(int pid) {
    testsupport::StartedProgram reader({"/usr/bin/python3", QUILL_READ_TEXTS, std::to_string(pid)},
                                       testsupport::StartedProgram::Output::read,
                                       applicationEnvironment());
    std::string out;
    while (auto piece = reader.read(10s)) out += *piece;
    std::vector<Text> found;
    const auto json = nlohmann::json::parse(out, nullptr, false);
    if (!json.is_array()) return found;
    for (const auto& entry : json) {
      Text text{entry.value("role", ""),
                entry.value("text", ""),
                entry.value("focused", false),
                entry.value("caret", -1),
                {}};
      for (const auto& range : entry.value("selections", nlohmann::json::array()))
        text.selections.emplace_back(range.at(0).get<int>(), range.at(1).get<int>());
      found.push_back(std::move(text));
    }
    return found;
  }

  // With the bus: the application of `window` shows its focused text there. An application
  // puts itself on the bus some time after its window shows.
  bool focusedTextOnTheBus(xcb_window_t window) {
    if (!bus_) return true;
    const int pid = windowProcess(desktop.x(), window);
    return pumpUntil(
        [&] {
          for (const auto& text : textsOnTheBus(pid))
            if (text.focused) return true;
          return false;
        },
        kStartWait);
  }

  // With the bus: the focused text of `window` shows the characters [start, end) selected. A
  // browser shows on the bus what it drew a while later, the later the busier the machine.
  bool busShowsSelected(xcb_window_t window, int start, int end) {
    if (!bus_) return true;
    const int pid = windowProcess(desktop.x(), window);
    return pumpUntil(
        [&] {
          for (const auto& text : textsOnTheBus(pid))
            if (text.focused && text.selections == std::vector<std::pair<int, int>>{{start, end}})
              return true;
          return false;
        },
        kWait);
  }

  void setAnswer(std::string answer) {
    std::lock_guard lock(answerMutex_);
    answer_ = std::move(answer);
  }
  std::string answer() {
    std::lock_guard lock(answerMutex_);
    return answer_;
  }

  core::DataModel& model() { return *app_->delegate().coreAppModel; }
  panel::FloatingViewPanel& panel() { return app_->delegate().floatingPanel()->panel(); }
  appkit::Panel& panelWindow() {
    return dynamic_cast<panel::AppKitPanelWindow&>(panel().window()).panel();
  }

  // Nobody holds the keyboard: a grab of our own succeeds (and is let go at once).
  bool keyboardFree() {
    auto* c = desktop.x().get();
    testx11::Reply<xcb_grab_keyboard_reply_t> grab(
        xcb_grab_keyboard_reply(c,
                                xcb_grab_keyboard(c, 0, desktop.x().root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr));
    const bool free = grab && grab->status == XCB_GRAB_STATUS_SUCCESS;
    if (free) xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    desktop.x().sync();
    return free;
  }

  // The window manager gave the panel the keyboard, and Qt has seen it.
  bool panelHasKeyboard(xcb_window_t application) {
    auto& x = desktop.x();
    const bool focused = pumpUntil([&] {
      const auto focus = keys.focus();
      return desktoptest::activeWindow(x) == panelWindow().windowId() && focus != application &&
             focus > XCB_INPUT_FOCUS_POINTER_ROOT && focus != x.root();
    });
    desktoptest::pumpFor(100ms);
    return focused;
  }

  // The hot key over `application`: the panel opens with `selection` captured (a new chat if it
  // still showed an answer), `command` goes out and the whole answer comes in.
  void ask(xcb_window_t application, const std::string& selection,
           const std::string& command = "fix the spelling") {
    // An application may hold the keyboard a moment (gedit while it saves): a hot key pressed
    // then never reaches the program, as on any desktop.
    ASSERT_TRUE(pumpUntil([&] { return keyboardFree(); })) << "the keyboard stays grabbed";
    keys.hotKey();
    if (!pumpUntil([&] { return panel().isOpen(); })) {
      desktoptest::Desktop::screenshot("realapps-no-panel");
      FAIL() << "the hot key opened no panel";
    }
    if (!pumpUntil([&] { return model().selectedValue.get() == selection; }, kWait)) {
      desktoptest::Desktop::screenshot("realapps-capture-failed");
      FAIL() << "captured \"" << model().selectedValue.get() << "\", status \""
             << model().status.get() << "\"";
    }
    ASSERT_TRUE(panelHasKeyboard(application)) << "the panel did not take the keyboard";
    if (!model().responseValue.get().empty()) {
      keys.stroke(Keyboard::kEscape);
      ASSERT_TRUE(pumpUntil([&] { return model().responseValue.get().empty(); }));
    }
    keys.type(command);
    ASSERT_TRUE(pumpUntil([&] { return model().command.get() == command; }))
        << "typed: " << model().command.get();
    keys.stroke(Keyboard::kReturn);
    ASSERT_TRUE(pumpUntil(
        [&] { return !model().isLoading.get() && model().responseValue.get() == answer(); }, kWait))
        << "answer: " << model().responseValue.get() << " error: " << model().error.get();
    const auto requests = server.requests(testsupport::kChatPath);
    ASSERT_FALSE(requests.empty());
    if (!selection.empty()) {
      const std::string quoted = nlohmann::json(selection).dump();
      EXPECT_NE(requests.back().body.find(quoted.substr(1, quoted.size() - 2)), std::string::npos)
          << "the request did not carry the selection: " << requests.back().body;
    }
  }

  // Ctrl+Return in the panel; true once it has closed, given the keyboard back and finished
  // writing (a paste lands when the application has fetched the text).
  bool accept(xcb_window_t application) {
    keys.stroke(Keyboard::kReturn, {Keyboard::kControlL});
    const bool closed = pumpUntil(
        [&] { return !panel().isOpen() && desktoptest::activeWindow(desktop.x()) == application; },
        kWait);
    app_->delegate().floatingPanel()->content().answerActions().waitUntilIdle();
    return closed;
  }

  // Ctrl+Return that must write nothing: the panel stays with the answer and says `why`.
  void acceptRefused(const std::string& why) {
    keys.stroke(Keyboard::kReturn, {Keyboard::kControlL});
    EXPECT_TRUE(pumpUntil([&] { return model().writeBackStatus.get() == why; }, kWait))
        << "status: \"" << model().writeBackStatus.get() << "\"";
    EXPECT_TRUE(pumpUntil([&] { return panel().isOpen(); })) << "the panel did not stay";
    EXPECT_EQ(model().responseValue.get(), answer()) << "the answer was not kept";
  }

  // Moves the caret to the start of the text, `skip` characters on, then selects `count` more.
  void selectFromStart(int skip, int count, int linesDown = 0) {
    ASSERT_TRUE(pumpUntil([&] { return keyboardFree(); })) << "the keyboard stays grabbed";
    keys.stroke(kHome, {Keyboard::kControlL});
    for (int i = 0; i < skip; ++i) keys.stroke(kRight);
    for (int i = 0; i < count; ++i) keys.stroke(kRight, {kShiftL});
    for (int i = 0; i < linesDown; ++i) keys.stroke(kDown, {kShiftL});
  }

  // Selects with `select` until the application shows `text` selected: on a loaded machine an
  // application now and then loses a key typed at once after another.
  bool selectsBy(const std::function<void()>& select, const std::string& text) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      select();
      if (pumpUntil(
              [&] {
                const auto primary = desktop.x().readSelection("PRIMARY", "UTF8_STRING");
                return primary && primary->bytes == text;
              },
              5s))
        return true;
    }
    select();
    return showsSelected(text);
  }
  bool selects(int skip, int count, const std::string& text) {
    return selectsBy([&] { selectFromStart(skip, count); }, text);
  }

  // The application shows `text` selected (as its primary selection), as the user sees it
  // highlighted before pressing the hot key.
  bool showsSelected(const std::string& text) {
    std::string shown;
    const bool selected = pumpUntil(
        [&] {
          const auto primary = desktop.x().readSelection("PRIMARY", "UTF8_STRING");
          shown = primary ? primary->bytes : "(nothing)";
          return shown == text;
        },
        kWait);
    if (!selected) {
      desktoptest::Desktop::screenshot("realapps-not-selected");
      ADD_FAILURE() << "selected: " << shown;
    }
    return selected;
  }

  void clickAt(xcb_window_t window, int dx, int dy, int clicks = 1) {
    testx11::Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
        desktop.x().get(),
        xcb_translate_coordinates(desktop.x().get(), window, desktop.x().root(),
                                  static_cast<std::int16_t>(dx), static_cast<std::int16_t>(dy)),
        nullptr));
    ASSERT_TRUE(at);
    auto* c = desktop.x().get();
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, desktop.x().root(), at->dst_x,
                        at->dst_y, 0);
    for (int i = 0; i < clicks; ++i) {
      xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
      xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    desktop.x().sync();
  }

  std::filesystem::path folder() const { return folder_; }
  Bus mode() const { return mode_; }
  const testsupport::AccessibilityBusSandbox* bus() const { return bus_.get(); }

  testsupport::ScopedHome home;
  desktoptest::Desktop desktop;
  Keyboard keys{desktop.x()};
  testsupport::LoopbackServer server;

 private:
  Bus mode_ = Bus::off;
  std::filesystem::path folder_;
  std::unique_ptr<testsupport::AccessibilityBusSandbox> bus_;
  std::mutex answerMutex_;
  std::string answer_ = "jumped ✓";
  std::unique_ptr<shell::QuillcastApp> app_;
  // Ended before the bus and the program go.
  std::vector<std::unique_ptr<testsupport::StartedProgram>> programs_;
};

}  // namespace realapps
