#include "X11WindowHints.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <string>

namespace appkit::x11hints {
namespace {

constexpr std::uint32_t kStateAdd = 1;
constexpr std::uint32_t kSourceApplication = 1;
constexpr std::uint32_t kSourcePager = 2;

xcb_connection_t* connection() {
  auto* app = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return app ? app->connection() : nullptr;
}

xcb_window_t root(xcb_connection_t* c) {
  return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t atom(xcb_connection_t* c, const std::string& name) {
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(
          c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr),
      &std::free);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void sendRootMessage(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type,
                     const std::uint32_t (&data)[5]) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = type;
  for (int i = 0; i < 5; ++i) event.data.data32[i] = data[i];
  xcb_send_event(c, 0, root(c),
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
}

}  // namespace

bool available() {
  return connection() != nullptr;
}

bool compositorRunning() {
  auto* c = connection();
  if (!c) return false;
  // The screen Qt uses; multi-screen X setups are one screen with several monitors today.
  const std::string name = "_NET_WM_CM_S0";
  std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, name)), nullptr),
      &std::free);
  return reply && reply->owner != XCB_NONE;
}

long currentDesktop() {
  auto* c = connection();
  if (!c) return -1;
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(
          c,
          xcb_get_property(c, 0, root(c), atom(c, "_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 0, 1),
          nullptr),
      &std::free);
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return -1;
  return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

void prepareFloatingWindow(std::uint32_t window) {
  auto* c = connection();
  if (!c || !window) return;
  const xcb_atom_t states[] = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                               atom(c, "_NET_WM_STATE_SKIP_PAGER"), atom(c, "_NET_WM_STATE_ABOVE")};
  // Qt adds its own states to what it finds on the unmapped window.
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                      3, states);
  placeOnCurrentDesktop(window);
}

void placeOnCurrentDesktop(std::uint32_t window) {
  auto* c = connection();
  if (!c || !window) return;
  const long desktop = currentDesktop();
  if (desktop >= 0) {
    const auto value = static_cast<std::uint32_t>(desktop);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_DESKTOP"),
                        XCB_ATOM_CARDINAL, 32, 1, &value);
  }
  xcb_flush(c);
}

void requestFloatingStates(std::uint32_t window) {
  auto* c = connection();
  if (!c || !window) return;
  const xcb_atom_t type = atom(c, "_NET_WM_STATE");
  sendRootMessage(c, window, type,
                  {kStateAdd, atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                   atom(c, "_NET_WM_STATE_SKIP_PAGER"), kSourceApplication, 0});
  sendRootMessage(c, window, type,
                  {kStateAdd, atom(c, "_NET_WM_STATE_ABOVE"), 0, kSourceApplication, 0});
  xcb_flush(c);
}

void requestActivation(std::uint32_t window, std::uint32_t userTime) {
  auto* c = connection();
  if (!c || !window) return;
  if (userTime != 0)
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_USER_TIME"),
                        XCB_ATOM_CARDINAL, 32, 1, &userTime);
  // Without the time of the input behind it, the request is the program's own explicit one, which
  // focus-stealing prevention would refuse: it is made as a pager makes it.
  sendRootMessage(c, window, atom(c, "_NET_ACTIVE_WINDOW"),
                  {userTime ? kSourceApplication : kSourcePager, userTime, XCB_NONE, 0, 0});
  xcb_flush(c);
}

std::optional<ScreenRect> screenGeometry(std::uint32_t window) {
  auto* c = connection();
  if (!c || !window) return std::nullopt;
  std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
  std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
      xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root(c), 0, 0),
                                      nullptr),
      &std::free);
  if (!geometry || !origin) return std::nullopt;
  return ScreenRect{origin->dst_x, origin->dst_y, geometry->width, geometry->height};
}

void flush() {
  if (auto* c = connection()) xcb_flush(c);
}

}  // namespace appkit::x11hints
