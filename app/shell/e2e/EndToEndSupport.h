#pragma once

// The whole program on a real desktop: openbox and trayer on the test's display, the chat
// service on a loopback server, a private HOME, and another application (an X client of the
// test) that holds the selected text and takes the pasted answer. Shared by the end-to-end
// test and the benchmark.

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <atomic>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "DesktopSession.h"
#include "HotKeys/HotKeys.h"
#include "foundation/UserDefaults.h"
#include "shell/URLOpener.h"
#include "testsupport/ChatServiceReplies.h"
#include "testsupport/LoopbackServer.h"

namespace shelltest {

using namespace std::chrono_literals;
using testsupport::chatReply;
using testsupport::deltaEvent;
using testsupport::kChatPath;

// Windows' links go nowhere: the tests look at the windows, not at what links open.
struct NoOpener : shell::URLOpener {
  bool open(std::string_view) override { return true; }
};

// Openbox keeps Alt+Space for its window menu: the program gets Ctrl+Alt+Q.
inline constexpr int kCarbonKeyQ = 12;
inline constexpr int kCarbonControlOption = 0x1000 | 0x800;
inline constexpr std::uint32_t kXControlMask = 4, kXAltMask = 8;

// The settings a user who finished onboarding has: a key, and the panel on Ctrl+Alt+Q.
inline void storeUserSettings() {
  auto& defaults = foundation::UserDefaults::standard();
  defaults.set("openapikey", std::string("sk-end-to-end"));
  defaults.set("firstTime", false);
  defaults.set(std::string(HotKeys::kStoragePrefix) + "showFloatingPanel",
               HotKeys::Shortcut(kCarbonKeyQ, kCarbonControlOption).json());
}

// Streamed answers for chats, `title` for the title request (the one that does not stream).
inline void serveChat(testsupport::LoopbackServer& server, const std::vector<std::string>& pieces,
                      const std::string& title) {
  std::string body;
  for (const auto& piece : pieces) body += deltaEvent(piece);
  body += "data: [DONE]\n\n";
  server.replyWith(kChatPath, [body, title](const testsupport::RecordedRequest& request) {
    const auto json = nlohmann::json::parse(request.body, nullptr, false);
    if (json.is_object() && json.value("stream", false))
      return testsupport::LoopbackServer::Reply{200, body, "text/event-stream", {}};
    return testsupport::LoopbackServer::Reply{200, chatReply(title), "application/json", {}};
  });
}

// Key presses as a keyboard makes them (XTest).
class Keyboard {
 public:
  explicit Keyboard(testx11::Connection& x) : x_(x) {}

  void press(xcb_keycode_t key) { fake(XCB_KEY_PRESS, key); }
  void release(xcb_keycode_t key) { fake(XCB_KEY_RELEASE, key); }
  // `keysym` with the modifiers' keysyms held.
  void stroke(xcb_keysym_t keysym, std::initializer_list<xcb_keysym_t> modifiers = {}) {
    for (auto m : modifiers) press(x_.keycodeOf(m));
    const auto key = x_.keycodeOf(keysym);
    press(key);
    release(key);
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m) release(x_.keycodeOf(*m));
    x_.sync();
  }
  // Lower-case letters, digits and spaces.
  void type(const std::string& text) {
    for (char ch : text) stroke(ch == ' ' ? 0x20 : static_cast<xcb_keysym_t>(ch));
  }
  void hotKey() { stroke('q', {kControlL, kAltL}); }

  // A left click at (dx, dy) inside `window`.
  void clickInto(xcb_window_t window, int dx, int dy) {
    testx11::Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
        x_.get(),
        xcb_translate_coordinates(x_.get(), window, x_.root(), static_cast<std::int16_t>(dx),
                                  static_cast<std::int16_t>(dy)),
        nullptr));
    if (!at) return;
    xcb_test_fake_input(x_.get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, x_.root(), at->dst_x,
                        at->dst_y, 0);
    xcb_test_fake_input(x_.get(), XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(x_.get(), XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    x_.sync();
  }

  // The window that has the keyboard's focus now.
  xcb_window_t focus() {
    testx11::Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(x_.get(), xcb_get_input_focus(x_.get()), nullptr));
    return reply ? reply->focus : XCB_NONE;
  }

  static constexpr xcb_keysym_t kControlL = 0xffe3, kAltL = 0xffe9, kReturn = 0xff0d,
                                kEscape = 0xff1b;

 private:
  void fake(std::uint8_t type, xcb_keycode_t key) {
    xcb_test_fake_input(x_.get(), type, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(x_.get());
  }
  testx11::Connection& x_;
};

// Another application: a window with a text selected in it (it owns PRIMARY), which pastes the
// clipboard on Ctrl+V as an editor does. It runs on a thread and connection of its own.
class EditorClient {
 public:
  // The program skips windows of its own process; the editor says it is another one.
  static constexpr std::uint32_t kEditorPid = 424242;

  explicit EditorClient(std::string selectedText) : selected_(std::move(selectedText)) {
    auto* c = x_.get();
    window_ = x_.createWindow(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_PROPERTY_CHANGE, false);
    const std::string title = "Editor";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    x_.setCardinal(window_, "_NET_WM_PID", kEditorPid);
    xcb_map_window(c, window_);
    primary_ = x_.atom("PRIMARY");
    clipboard_ = x_.atom("CLIPBOARD");
    utf8_ = x_.atom("UTF8_STRING");
    targets_ = x_.atom("TARGETS");
    pasteProperty_ = x_.atom("EDITOR_PASTE");
    keyV_ = x_.keycodeOf('v');
    xcb_set_selection_owner(c, window_, primary_, XCB_CURRENT_TIME);
    x_.sync();
    thread_ = std::thread([this] { run(); });
  }
  ~EditorClient() {
    stop_ = true;
    thread_.join();
  }

  xcb_window_t window() const { return window_; }
  std::string pasted() const {
    std::lock_guard lock(mutex_);
    return pasted_;
  }
  int pastes() const { return pastes_; }
  int keyPresses() const { return keyPresses_; }

 private:
  void run() {
    auto* c = x_.get();
    while (!stop_) {
      testx11::Event e(xcb_poll_for_event(c));
      if (!e) {
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, 5);
        continue;
      }
      switch (e->response_type & 0x7f) {
        case XCB_KEY_PRESS: {
          const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(*e);
          ++keyPresses_;
          if (key.detail == keyV_ && (key.state & kXControlMask)) {
            xcb_convert_selection(c, window_, clipboard_, utf8_, pasteProperty_, key.time);
            xcb_flush(c);
          }
          break;
        }
        case XCB_SELECTION_NOTIFY: {
          const auto& n = reinterpret_cast<const xcb_selection_notify_event_t&>(*e);
          if (n.property == XCB_NONE) break;
          testx11::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
              c, xcb_get_property(c, 1, window_, n.property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20),
              nullptr));
          if (!reply) break;
          std::lock_guard lock(mutex_);
          pasted_.assign(static_cast<const char*>(xcb_get_property_value(reply.get())),
                         static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
          ++pastes_;
          break;
        }
        case XCB_SELECTION_REQUEST:
          answer(reinterpret_cast<const xcb_selection_request_event_t&>(*e));
          break;
        default:
          break;
      }
    }
  }

  void answer(const xcb_selection_request_event_t& r) {
    auto* c = x_.get();
    const xcb_atom_t property = r.property == XCB_NONE ? r.target : r.property;
    bool served = true;
    if (r.selection != primary_) {
      served = false;
    } else if (r.target == targets_) {
      const xcb_atom_t atoms[] = {targets_, utf8_};
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, XCB_ATOM_ATOM, 32, 2,
                          atoms);
    } else if (r.target == utf8_ || r.target == XCB_ATOM_STRING) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, r.target, 8,
                          static_cast<std::uint32_t>(selected_.size()), selected_.data());
    } else {
      served = false;
    }
    testx11::notifySelectionRequestor(c, r, served ? property : XCB_NONE);
  }

  testx11::Connection x_;
  std::string selected_;
  xcb_window_t window_ = XCB_NONE;
  xcb_atom_t primary_ = 0, clipboard_ = 0, utf8_ = 0, targets_ = 0, pasteProperty_ = 0;
  xcb_keycode_t keyV_ = 0;
  mutable std::mutex mutex_;
  std::string pasted_;
  std::atomic<int> pastes_{0};
  std::atomic<int> keyPresses_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace shelltest
