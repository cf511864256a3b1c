#include "appkit/x11/Connection.h"

#include <poll.h>

#include <cstdlib>

namespace appkit::x11 {

void FreeDeleter::operator()(void* p) const {
  std::free(p);
}

Connection::Connection(const char* displayName) {
  int screenNumber = 0;
  connection_ = xcb_connect(displayName, &screenNumber);
  if (xcb_connection_has_error(connection_)) return;
  auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int i = 0; it.rem && i < screenNumber; ++i) xcb_screen_next(&it);
  if (it.rem) root_ = it.data->root;
}

Connection::~Connection() {
  xcb_disconnect(connection_);
}

bool Connection::ok() const {
  return root_ != XCB_NONE && xcb_connection_has_error(connection_) == 0;
}

std::size_t Connection::maximumRequestBytes() const {
  if (!ok()) return 0;
  return static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4;
}

xcb_atom_t Connection::atom(std::string_view name) {
  std::string key(name);
  {
    std::lock_guard lock(atomsMutex_);
    if (auto it = atoms_.find(key); it != atoms_.end()) return it->second;
  }
  if (!ok()) return XCB_ATOM_NONE;
  auto cookie = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(key.size()), key.data());
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
  if (!reply) return XCB_ATOM_NONE;
  std::lock_guard lock(atomsMutex_);
  atoms_[key] = reply->atom;
  return reply->atom;
}

void Connection::internAtoms(std::initializer_list<std::string_view> names) {
  if (!ok()) return;
  std::vector<std::pair<std::string, xcb_intern_atom_cookie_t>> asked;
  for (const auto name : names)
    asked.emplace_back(
        std::string(name),
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.data()));
  for (auto& [name, cookie] : asked) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
    if (!reply) continue;
    std::lock_guard lock(atomsMutex_);
    atoms_[name] = reply->atom;
  }
}

std::string Connection::atomName(xcb_atom_t atom) {
  if (!ok() || atom == XCB_ATOM_NONE) return {};
  Reply<xcb_get_atom_name_reply_t> reply(
      xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr));
  if (!reply) return {};
  return std::string(xcb_get_atom_name_name(reply.get()),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
}

xcb_window_t Connection::createHelperWindow(std::uint32_t eventMask) {
  if (!ok()) return XCB_NONE;
  xcb_window_t window = xcb_generate_id(connection_);
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, -10, -10, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                    &eventMask);
  xcb_flush(connection_);
  return window;
}

std::optional<Property> Connection::property(xcb_window_t window, xcb_atom_t name, bool remove) {
  if (!ok() || name == XCB_ATOM_NONE) return std::nullopt;
  auto cookie = xcb_get_property(connection_, remove ? 1 : 0, window, name,
                                 XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff);
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
  if (!reply || reply->type == XCB_ATOM_NONE) return std::nullopt;
  Property result;
  result.type = reply->type;
  result.format = reply->format;
  const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
  // The length is in bytes whatever the unit size.
  result.bytes.assign(data, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
  return result;
}

std::optional<std::uint32_t> Connection::cardinalProperty(xcb_window_t window,
                                                          std::string_view name) {
  auto value = property(window, atom(name));
  if (!value || value->format != 32 || value->bytes.size() < 4) return std::nullopt;
  std::uint32_t number = 0;
  value->bytes.copy(reinterpret_cast<char*>(&number), 4);
  return number;
}

xcb_window_t Connection::windowProperty(xcb_window_t window, std::string_view name) {
  auto value = property(window, atom(name));
  if (!value || value->type != XCB_ATOM_WINDOW || value->format != 32 || value->bytes.size() < 4)
    return XCB_NONE;
  xcb_window_t result = XCB_NONE;
  value->bytes.copy(reinterpret_cast<char*>(&result), 4);
  return result;
}

std::optional<xcb_timestamp_t> Connection::serverTime(xcb_window_t window,
                                                      std::chrono::milliseconds timeout,
                                                      std::vector<Event>* others) {
  xcb_atom_t marker = atom("QUILL_TIME_STAMP");
  if (marker == XCB_ATOM_NONE) return std::nullopt;
  xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window, marker, XCB_ATOM_INTEGER, 8, 0,
                      nullptr);
  xcb_flush(connection_);
  auto event = waitForEvent(
      [&](const xcb_generic_event_t& e) {
        if (eventType(e) != XCB_PROPERTY_NOTIFY) return false;
        const auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(e);
        return p.window == window && p.atom == marker;
      },
      Clock::now() + timeout,
      [&](Event e) {
        if (others) others->push_back(std::move(e));
      });
  if (!event) return std::nullopt;
  return reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->time;
}

Event Connection::waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& match,
                               Clock::time_point deadline,
                               const std::function<void(Event)>& others) {
  while (ok()) {
    Event event(xcb_poll_for_event(connection_));
    if (event) {
      if (match(*event)) return event;
      if (others) others(std::move(event));
      continue;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(left.count()) + 1);
  }
  return nullptr;
}

void Connection::sync() {
  if (!ok()) return;
  Reply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace appkit::x11
