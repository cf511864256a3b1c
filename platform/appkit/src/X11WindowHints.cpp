#include "X11WindowHints.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <array>
#include <cstdlib>
#include <cstring>
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

// The names are asked for together: one round trip to the server, however many there are.
// Each costs a wait for the server, and the panel's show is on the path of the hot key.
template <std::size_t N>
std::array<xcb_atom_t, N> atoms(xcb_connection_t* c, const char* const (&names)[N]) {
  std::array<xcb_intern_atom_cookie_t, N> cookies;
  for (std::size_t i = 0; i < N; ++i)
    cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
  std::array<xcb_atom_t, N> result;
  for (std::size_t i = 0; i < N; ++i) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookies[i], nullptr), &std::free);
    result[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }
  return result;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  return atoms(c, {name})[0];
}

// The desktop a reply for _NET_CURRENT_DESKTOP names (the reply taken over), or -1.
long desktopOf(xcb_get_property_reply_t* given) {
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(given, &std::free);
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return -1;
  return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

// The value of the root window's _NET_CURRENT_DESKTOP (its atom given), or -1.
long currentDesktop(xcb_connection_t* c, xcb_atom_t currentDesktopAtom) {
  return desktopOf(xcb_get_property_reply(
      c, xcb_get_property(c, 0, root(c), currentDesktopAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
}

void placeOnDesktop(xcb_connection_t* c, xcb_window_t window, xcb_atom_t desktopAtom,
                    long desktop) {
  if (desktop < 0) return;
  const auto value = static_cast<std::uint32_t>(desktop);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, desktopAtom, XCB_ATOM_CARDINAL, 32, 1,
                      &value);
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

std::optional<Atoms> internAtoms() {
  auto* c = connection();
  if (!c) return std::nullopt;
  // The screen Qt uses; multi-screen X setups are one screen with several monitors today.
  const auto a =
      atoms(c, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                "_NET_WM_STATE_ABOVE", "_NET_CURRENT_DESKTOP", "_NET_WM_DESKTOP",
                "_NET_WM_USER_TIME", "_NET_ACTIVE_WINDOW", "_NET_WM_CM_S0"});
  return Atoms{a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]};
}

Surroundings surroundings(const Atoms& atoms) {
  auto* c = connection();
  if (!c) return {};
  // Both asked before either answer is read.
  const auto owner = xcb_get_selection_owner(c, atoms.compositorSelection);
  const auto desktop =
      xcb_get_property(c, 0, root(c), atoms.currentDesktop, XCB_ATOM_CARDINAL, 0, 1);
  std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> ownerReply(
      xcb_get_selection_owner_reply(c, owner, nullptr), &std::free);
  Surroundings now;
  now.compositing = ownerReply && ownerReply->owner != XCB_NONE;
  now.currentDesktop = desktopOf(xcb_get_property_reply(c, desktop, nullptr));
  return now;
}

bool compositorRunning() {
  const auto a = internAtoms();
  return a && surroundings(*a).compositing;
}

long currentDesktop() {
  auto* c = connection();
  if (!c) return -1;
  return currentDesktop(c, atom(c, "_NET_CURRENT_DESKTOP"));
}

void prepareFloatingWindow(std::uint32_t window, const Atoms& atoms, long desktop) {
  auto* c = connection();
  if (!c || !window) return;
  const xcb_atom_t states[] = {atoms.skipTaskbar, atoms.skipPager, atoms.above};
  // Qt adds its own states to what it finds on the unmapped window.
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms.wmState, XCB_ATOM_ATOM, 32, 3,
                      states);
  placeOnDesktop(c, window, atoms.wmDesktop, desktop);
  xcb_flush(c);
}

void placeOnCurrentDesktop(std::uint32_t window) {
  auto* c = connection();
  if (!c || !window) return;
  const auto a = atoms(c, {"_NET_CURRENT_DESKTOP", "_NET_WM_DESKTOP"});
  placeOnDesktop(c, window, a[1], currentDesktop(c, a[0]));
  xcb_flush(c);
}

void requestFloatingStates(std::uint32_t window, const Atoms& atoms) {
  auto* c = connection();
  if (!c || !window) return;
  sendRootMessage(c, window, atoms.wmState,
                  {kStateAdd, atoms.skipTaskbar, atoms.skipPager, kSourceApplication, 0});
  sendRootMessage(c, window, atoms.wmState, {kStateAdd, atoms.above, 0, kSourceApplication, 0});
  xcb_flush(c);
}

void requestActivation(std::uint32_t window, const Atoms& atoms, std::uint32_t userTime) {
  auto* c = connection();
  if (!c || !window) return;
  if (userTime != 0)
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms.userTime, XCB_ATOM_CARDINAL, 32, 1,
                        &userTime);
  // Without the time of the input behind it, the request is the program's own explicit one, which
  // focus-stealing prevention would refuse: it is made as a pager makes it.
  sendRootMessage(c, window, atoms.activeWindow,
                  {userTime ? kSourceApplication : kSourcePager, userTime, XCB_NONE, 0, 0});
  xcb_flush(c);
}

void requestActivation(std::uint32_t window, std::uint32_t userTime) {
  if (const auto a = internAtoms()) requestActivation(window, *a, userTime);
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
