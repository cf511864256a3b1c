#include "X11InputHistory.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <cstdlib>

#include "foundation/ThreadName.h"

namespace accessibility::x11 {
namespace {

template <class T>
struct Freed {
  T* p;
  ~Freed() { std::free(p); }
};

}  // namespace

X11InputHistory::X11InputHistory(const std::string& displayName) {
  connection_ = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
  if (xcb_connection_has_error(connection_)) return;
  const auto* extension = xcb_get_extension_data(connection_, &xcb_input_id);
  if (!extension || !extension->present) return;
  opcode_ = extension->major_opcode;
  Freed<xcb_input_xi_query_version_reply_t> version{xcb_input_xi_query_version_reply(
      connection_, xcb_input_xi_query_version(connection_, 2, 2), nullptr)};
  // Raw events reach every client only from version 2.1 on.
  if (!version.p || version.p->major_version < 2 ||
      (version.p->major_version == 2 && version.p->minor_version < 1))
    return;
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t mask;
  } selection{{XCB_INPUT_DEVICE_ALL, 1},
              XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE |
                  XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  Freed<xcb_generic_error_t> error{xcb_request_check(
      connection_, xcb_input_xi_select_events_checked(connection_, root, 1, &selection.head))};
  if (error.p || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  started_ = true;
  thread_ = std::thread([this] { run(); });
}

X11InputHistory::~X11InputHistory() {
  if (thread_.joinable()) {
    const char byte = 0;
    [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
    thread_.join();
  }
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
  xcb_disconnect(connection_);
}

void X11InputHistory::take(xcb_generic_event_t* event) {
  Freed<xcb_generic_event_t> owned{event};
  if ((event->response_type & 0x7f) != XCB_GE_GENERIC) return;
  const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
  if (generic->extension != opcode_) return;
  const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
  std::lock_guard lock(mutex_);
  if (generic->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
    if (raw->detail < held_.size()) held_.reset(raw->detail);
    return;
  }
  Press press{raw->time, 0, held_};
  if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS) {
    press.key = raw->detail;
    // Auto-repeat presses a held key again.
    if (press.key < held_.size()) {
      press.held.reset(press.key);
      held_.set(press.key);
    }
  } else if (generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS ||
             (raw->detail >= 4 && raw->detail <= 7)) {
    return;  // the wheel scrolls; it changes no selection
  }
  presses_.push_back(press);
  if (presses_.size() > kKept) {
    presses_.pop_front();
    forgot_ = true;
  }
}

void X11InputHistory::run() {
  foundation::setCurrentThreadName("quill-input");
  pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
  for (;;) {
    while (auto* event = xcb_poll_for_event(connection_)) take(event);
    if (xcb_connection_has_error(connection_)) return;
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
  }
}

void X11InputHistory::catchUp() {
  // A round trip: every press the server made before now is then in the connection's queue.
  Freed<xcb_get_input_focus_reply_t> focus{
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)};
  while (auto* event = xcb_poll_for_queued_event(connection_)) take(event);
}

std::optional<bool> X11InputHistory::pressedBetween(xcb_timestamp_t after, xcb_timestamp_t until,
                                                    const SelectionKeeping& keeping) {
  auto among = [](std::uint32_t key, const std::vector<std::uint32_t>& keys) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
  };
  auto shiftHeld = [&](const Press& press) {
    for (const auto shift : keeping.shifts)
      if (shift < press.held.size() && press.held.test(shift)) return true;
    return false;
  };
  Keys modifiers;
  for (const auto key : keeping.modifiers)
    if (key < modifiers.size()) modifiers.set(key);
  if (!started_) return std::nullopt;
  catchUp();
  std::lock_guard lock(mutex_);
  const Press* chord = nullptr;
  if (keeping.latestChord) {
    for (auto press = presses_.rbegin(); press != presses_.rend() && !chord; ++press)
      if (press->key != 0 && !among(press->key, keeping.modifiers)) chord = &*press;
  }
  for (const auto& press : presses_) {
    if (!laterThan(press.time, after) || laterThan(press.time, until)) continue;
    if (press.key != 0 && among(press.key, keeping.modifiers)) continue;
    if (press.key != 0 && among(press.key, keeping.caretKeys) && shiftHeld(press)) continue;
    if (chord && press.key == chord->key && (press.held & modifiers) == (chord->held & modifiers))
      continue;
    return true;
  }
  // What came before the first press kept is not known.
  if (forgot_ && !presses_.empty() && laterThan(presses_.front().time, after)) return std::nullopt;
  return false;
}

}  // namespace accessibility::x11
