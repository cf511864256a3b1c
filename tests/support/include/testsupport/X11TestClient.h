#pragma once

// A small, independent X client for the tests of the X11 backends: it owns selections, makes
// windows that watch key events, and reads selections the way another program would.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testx11 {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline constexpr auto kWait = 3s;  // bound of every wait for the server or the code under test

struct Free {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, Free>;
using Event = std::unique_ptr<xcb_generic_event_t, Free>;

// Tests of several binaries may share one display (ctest runs them in parallel); selections,
// focus and synthetic keys are display-wide, so these tests take turns. A busy machine can keep
// a queue of them waiting for minutes: the turn is waited for however long that takes (ctest's
// time-out ends a test that waits for ever), never skipped.
class DisplayLock {
 public:
  DisplayLock() {
    std::string name = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    for (auto& ch : name)
      if (ch == '/' || ch == ':') ch = '_';
    fd_ = ::open(("/tmp/quill-x11-tests" + name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC,
                 0666);
    while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~DisplayLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  DisplayLock(const DisplayLock&) = delete;
  DisplayLock& operator=(const DisplayLock&) = delete;

 private:
  int fd_ = -1;
};

class Connection {
 public:
  Connection() : c_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(c_)) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
  }
  ~Connection() { xcb_disconnect(c_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ok() const { return root_ != XCB_NONE && !xcb_connection_has_error(c_); }
  xcb_connection_t* get() const { return c_; }
  xcb_window_t root() const { return root_; }

  xcb_atom_t atom(const std::string& name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  std::string atomName(xcb_atom_t atom) {
    Reply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(c_, xcb_get_atom_name(c_, atom), nullptr));
    if (!reply) return {};
    return std::string(xcb_get_atom_name_name(reply.get()),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
  }

  xcb_window_t createWindow(std::uint32_t eventMask, bool map) {
    xcb_window_t window = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window, root_, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &eventMask);
    if (map) xcb_map_window(c_, window);
    sync();
    return window;
  }

  void setCardinal(xcb_window_t window, const std::string& name, std::uint32_t value) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom(name), XCB_ATOM_CARDINAL, 32, 1,
                        &value);
    sync();
  }
  void setWindow(xcb_window_t window, const std::string& name, xcb_window_t value) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom(name), XCB_ATOM_WINDOW, 32, 1,
                        &value);
    sync();
  }
  void deleteProperty(xcb_window_t window, const std::string& name) {
    xcb_delete_property(c_, window, atom(name));
    sync();
  }

  void focus(xcb_window_t window) {
    xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    sync();
  }

  xcb_window_t selectionOwner(const std::string& selection) {
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, atom(selection)), nullptr));
    return reply ? reply->owner : XCB_NONE;
  }

  void sync() {
    Reply<xcb_get_input_focus_reply_t> r(
        xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  }

  Event waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& match,
                     std::chrono::milliseconds timeout = kWait) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      Event e(xcb_poll_for_event(c_));
      if (e) {
        if (match(*e)) return e;
        continue;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || xcb_connection_has_error(c_)) return nullptr;
      pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
      ::poll(&fd, 1, static_cast<int>(left.count()) + 1);
    }
  }

  // The server's time now: the stamp of a property change on a window of our own.
  xcb_timestamp_t serverTime() {
    xcb_window_t w = createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE, false);
    xcb_change_property(c_, XCB_PROP_MODE_APPEND, w, atom("QUILL_TIME"), XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(c_);
    auto e = waitForEvent([](const xcb_generic_event_t& ev) {
      return (ev.response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
    });
    xcb_destroy_window(c_, w);
    sync();
    return e ? reinterpret_cast<xcb_property_notify_event_t*>(e.get())->time : XCB_CURRENT_TIME;
  }

  struct Data {
    std::string type;
    int format = 0;
    std::string bytes;
  };
  // Reads a selection as another program would (no INCR).
  std::optional<Data> readSelection(const std::string& selection, const std::string& target) {
    if (!reader_) reader_ = createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE, false);
    xcb_atom_t property = atom("TEST_READ");
    xcb_convert_selection(c_, reader_, atom(selection), atom(target), property, XCB_CURRENT_TIME);
    xcb_flush(c_);
    Event e = waitForEvent([&](const xcb_generic_event_t& ev) {
      return (ev.response_type & 0x7f) == XCB_SELECTION_NOTIFY &&
             reinterpret_cast<const xcb_selection_notify_event_t&>(ev).requestor == reader_;
    });
    if (!e || reinterpret_cast<xcb_selection_notify_event_t*>(e.get())->property == XCB_NONE)
      return std::nullopt;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c_, xcb_get_property(c_, 1, reader_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff),
        nullptr));
    if (!reply) return std::nullopt;
    Data data{atomName(reply->type), reply->format,
              std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          static_cast<std::size_t>(xcb_get_property_value_length(reply.get())))};
    return data;
  }

  std::vector<std::string> readTargets(const std::string& selection) {
    std::vector<std::string> names;
    auto data = readSelection(selection, "TARGETS");
    if (!data || data->format != 32) return names;
    for (std::size_t i = 0; i + 4 <= data->bytes.size(); i += 4) {
      xcb_atom_t a;
      std::memcpy(&a, data->bytes.data() + i, 4);
      names.push_back(atomName(a));
    }
    return names;
  }

  xcb_keycode_t keycodeOf(xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!mapping) return 0;
    const int perKey = mapping->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    for (int k = 0; k < count; ++k)
      if (syms[k * perKey] == keysym) return static_cast<xcb_keycode_t>(setup->min_keycode + k);
    return 0;
  }

  bool keyIsDown(xcb_keycode_t key) {
    Reply<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(c_, xcb_query_keymap(c_), nullptr));
    return keymap && (keymap->keys[key / 8] & (1 << (key % 8)));
  }

 private:
  xcb_connection_t* c_;
  xcb_window_t root_ = XCB_NONE;
  xcb_window_t reader_ = XCB_NONE;
};

// Holds the display for one test: the turn (DisplayLock) and a connection kept open throughout,
// since an X server without clients resets itself and refuses connections meanwhile.
class DisplaySession {
 public:
  DisplaySession() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return;
    lock_ = std::make_unique<DisplayLock>();
    for (int attempt = 0; attempt < 100; ++attempt) {
      keepAlive_ = std::make_unique<Connection>();
      if (keepAlive_->ok()) return;
      std::this_thread::sleep_for(20ms);
    }
    keepAlive_.reset();
  }
  bool ok() const { return keepAlive_ != nullptr; }

 private:
  std::unique_ptr<DisplayLock> lock_;
  std::unique_ptr<Connection> keepAlive_;
};

struct KeyRecord {
  bool press;
  xcb_keycode_t key;
  std::uint16_t state;
};

// The key events a window received, read until `count` arrived or the wait ran out.
inline std::vector<KeyRecord> keyEvents(Connection& connection, xcb_window_t window,
                                        std::size_t count) {
  std::vector<KeyRecord> records;
  while (records.size() < count) {
    Event e = connection.waitForEvent([&](const xcb_generic_event_t& ev) {
      auto type = ev.response_type & 0x7f;
      return (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) &&
             reinterpret_cast<const xcb_key_press_event_t&>(ev).event == window;
    });
    if (!e) break;
    const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(*e);
    records.push_back({(e->response_type & 0x7f) == XCB_KEY_PRESS, key.detail, key.state});
  }
  return records;
}

// Tells the requestor of a selection that its conversion is in `property` (XCB_NONE: refused).
inline void notifySelectionRequestor(xcb_connection_t* c, const xcb_selection_request_event_t& r,
                                     xcb_atom_t property) {
  xcb_selection_notify_event_t n{};
  n.response_type = XCB_SELECTION_NOTIFY;
  n.time = r.time;
  n.requestor = r.requestor;
  n.selection = r.selection;
  n.target = r.target;
  n.property = property;
  char buffer[32] = {};
  std::memcpy(buffer, &n, sizeof n);
  xcb_send_event(c, 0, r.requestor, XCB_EVENT_MASK_NO_EVENT, buffer);
  xcb_flush(c);
}

// Owns a selection from a thread of its own and answers requests for the offered targets
// (TARGETS included) until destroyed. A silent owner never answers.
class SelectionOwner {
 public:
  struct Offer {
    std::string type;
    int format;
    std::string bytes;
  };

  SelectionOwner(std::string selection, std::map<std::string, Offer> offers, bool silent = false)
      : offers_(std::move(offers)), silent_(silent) {
    window_ = connection_.createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE, false);
    selection_ = connection_.atom(selection);
    for (auto& [target, offer] : offers_) {
      targetAtoms_[connection_.atom(target)] = target;
      typeAtoms_[target] = connection_.atom(offer.type);
    }
    targetsAtom_ = connection_.atom("TARGETS");
    xcb_set_selection_owner(connection_.get(), window_, selection_, XCB_CURRENT_TIME);
    connection_.sync();
    thread_ = std::thread([this] { run(); });
  }
  ~SelectionOwner() {
    stop_ = true;
    thread_.join();
  }
  xcb_window_t window() const { return window_; }
  bool lost() const { return lost_; }
  int requests() const { return requests_; }

 private:
  void run() {
    auto* c = connection_.get();
    while (!stop_) {
      Event e(xcb_poll_for_event(c));
      if (!e) {
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, 10);
        continue;
      }
      auto type = e->response_type & 0x7f;
      if (type == XCB_SELECTION_CLEAR) lost_ = true;
      if (type != XCB_SELECTION_REQUEST) continue;
      ++requests_;
      if (silent_) continue;
      const auto& r = reinterpret_cast<const xcb_selection_request_event_t&>(*e);
      xcb_atom_t property = r.property == XCB_NONE ? r.target : r.property;
      bool served = true;
      if (r.target == targetsAtom_) {
        std::vector<xcb_atom_t> atoms{targetsAtom_};
        for (auto& [atom, name] : targetAtoms_) atoms.push_back(atom);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(atoms.size()), atoms.data());
      } else if (auto it = targetAtoms_.find(r.target); it != targetAtoms_.end()) {
        const Offer& offer = offers_.at(it->second);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property,
                            typeAtoms_.at(it->second), static_cast<std::uint8_t>(offer.format),
                            static_cast<std::uint32_t>(offer.bytes.size() / (offer.format / 8)),
                            offer.bytes.data());
      } else {
        served = false;
      }
      notifySelectionRequestor(c, r, served ? property : XCB_NONE);
    }
  }

  Connection connection_;
  std::map<std::string, Offer> offers_;
  std::map<xcb_atom_t, std::string> targetAtoms_;
  std::map<std::string, xcb_atom_t> typeAtoms_;
  xcb_atom_t targetsAtom_ = XCB_ATOM_NONE;
  xcb_window_t window_ = XCB_NONE;
  xcb_atom_t selection_ = XCB_ATOM_NONE;
  bool silent_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> lost_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

inline SelectionOwner::Offer utf8(std::string text) {
  return {"UTF8_STRING", 8, std::move(text)};
}

}  // namespace testx11

// Skips the test when no X display can be opened; otherwise takes the display for the test.
#define QUILL_REQUIRE_DISPLAY()                   \
  ::testx11::DisplaySession quillDisplaySession_; \
  if (!quillDisplaySession_.ok()) GTEST_SKIP() << "no X display"
