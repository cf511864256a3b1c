#include "X11WindowRelations.h"

#include <xcb/res.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string_view>

namespace accessibility::x11 {
namespace {

using appkit::x11::Reply;

xcb_window_t parentOf(appkit::x11::Connection& connection, xcb_window_t window) {
  auto* c = connection.get();
  Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  return tree ? tree->parent : XCB_NONE;
}

bool isInside(appkit::x11::Connection& connection, xcb_window_t inner, xcb_window_t outer) {
  // Bounded: a tree deeper than this is no application's.
  for (int depth = 0; depth < 64 && inner != XCB_NONE && inner != connection.root(); ++depth) {
    if (inner == outer) return true;
    inner = parentOf(connection, inner);
  }
  return false;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

std::optional<int> clientProcess(appkit::x11::Connection& connection, xcb_window_t window) {
  if (!connection.ok() || window == XCB_NONE) return std::nullopt;
  auto* c = connection.get();
  const auto* extension = xcb_get_extension_data(c, &xcb_res_id);
  if (!extension || !extension->present) return std::nullopt;
  xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
  Reply<xcb_res_query_client_ids_reply_t> reply(
      xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &spec), nullptr));
  if (!reply) return std::nullopt;
  for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
       xcb_res_client_id_value_next(&it)) {
    if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)) continue;
    if (xcb_res_client_id_value_value_length(it.data) < 1) continue;
    return static_cast<int>(*xcb_res_client_id_value_value(it.data));
  }
  return std::nullopt;
}

bool belongsToWindow(appkit::x11::Connection& connection, xcb_window_t owner, xcb_window_t window,
                     int processIdentifier) {
  if (!connection.ok() || owner == XCB_NONE || window == XCB_NONE) return false;
  if (isInside(connection, owner, window)) return true;
  const xcb_window_t leader = connection.windowProperty(window, "WM_CLIENT_LEADER");
  if (leader != XCB_NONE &&
      (owner == leader || connection.windowProperty(owner, "WM_CLIENT_LEADER") == leader))
    return true;
  const std::optional<int> process = processIdentifier > 0 ? std::optional<int>(processIdentifier)
                                                           : clientProcess(connection, window);
  if (!process) return false;
  if (const auto pid = connection.cardinalProperty(owner, "_NET_WM_PID");
      pid && static_cast<int>(*pid) == *process)
    return true;
  return clientProcess(connection, owner) == process;
}

bool windowExists(appkit::x11::Connection& connection, xcb_window_t window) {
  if (!connection.ok() || window == XCB_NONE) return false;
  auto* c = connection.get();
  Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  return attributes != nullptr;
}

std::string windowTitle(appkit::x11::Connection& connection, xcb_window_t window) {
  for (const auto* name : {"_NET_WM_NAME", "WM_NAME"}) {
    const auto value = connection.property(window, connection.atom(name));
    if (value && value->format == 8) return value->bytes;
  }
  return {};
}

std::optional<std::uint32_t> userTime(appkit::x11::Connection& connection, xcb_window_t window) {
  const xcb_window_t holder = connection.windowProperty(window, "_NET_WM_USER_TIME_WINDOW");
  if (holder != XCB_NONE)
    if (auto time = connection.cardinalProperty(holder, "_NET_WM_USER_TIME")) return time;
  return connection.cardinalProperty(window, "_NET_WM_USER_TIME");
}

namespace {

// The key codes of modifier rows [first, last) of the modifier mapping (0 is Shift).
std::vector<std::uint32_t> modifierRows(appkit::x11::Connection& connection, int first, int last) {
  std::vector<std::uint32_t> keys;
  if (!connection.ok()) return keys;
  auto* c = connection.get();
  Reply<xcb_get_modifier_mapping_reply_t> mapping(
      xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
  if (!mapping) return keys;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
  for (int i = first * mapping->keycodes_per_modifier; i < last * mapping->keycodes_per_modifier;
       ++i)
    if (codes[i] != 0) keys.push_back(codes[i]);
  return keys;
}

}  // namespace

std::vector<std::uint32_t> modifierKeycodes(appkit::x11::Connection& connection) {
  return modifierRows(connection, 0, 8);
}

std::vector<std::uint32_t> shiftKeycodes(appkit::x11::Connection& connection) {
  return modifierRows(connection, 0, 1);
}

std::vector<std::uint32_t> caretKeycodes(appkit::x11::Connection& connection) {
  // Home, Left, Up, Right, Down, Page Up, Page Down, End; then the same on the keypad.
  constexpr xcb_keysym_t kCaretKeysyms[] = {0xff50, 0xff51, 0xff52, 0xff53, 0xff54, 0xff55,
                                            0xff56, 0xff57, 0xff95, 0xff96, 0xff97, 0xff98,
                                            0xff99, 0xff9a, 0xff9b, 0xff9c};
  std::vector<std::uint32_t> keys;
  if (!connection.ok()) return keys;
  auto* c = connection.get();
  const xcb_setup_t* setup = xcb_get_setup(c);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
      c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(count)),
      nullptr));
  if (!mapping || mapping->keysyms_per_keycode == 0) return keys;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
  const int perKey = mapping->keysyms_per_keycode;
  for (int k = 0; k < count; ++k) {
    for (int column = 0; column < std::min(perKey, 2); ++column) {
      if (std::find(std::begin(kCaretKeysyms), std::end(kCaretKeysyms),
                    syms[k * perKey + column]) != std::end(kCaretKeysyms)) {
        keys.push_back(static_cast<std::uint32_t>(setup->min_keycode + k));
        break;
      }
    }
  }
  return keys;
}

bool isTerminalWindow(appkit::x11::Connection& connection, xcb_window_t window) {
  static constexpr std::string_view terminals[] = {"xterm",
                                                   "uxterm",
                                                   "urxvt",
                                                   "rxvt",
                                                   "konsole",
                                                   "gnome-terminal",
                                                   "gnome-terminal-server",
                                                   "xfce4-terminal",
                                                   "mate-terminal",
                                                   "lxterminal",
                                                   "qterminal",
                                                   "terminator",
                                                   "tilix",
                                                   "alacritty",
                                                   "kitty",
                                                   "st",
                                                   "st-256color",
                                                   "sakura",
                                                   "terminology",
                                                   "foot",
                                                   "wezterm",
                                                   "org.wezfurlong.wezterm",
                                                   "guake",
                                                   "tilda",
                                                   "yakuake",
                                                   "cool-retro-term",
                                                   "eterm",
                                                   "aterm",
                                                   "mlterm",
                                                   "kterm",
                                                   "x-terminal-emulator"};
  const auto value = connection.property(window, XCB_ATOM_WM_CLASS);
  if (!value || value->format != 8) return false;
  // Instance name and class name, each ended by a NUL.
  std::string_view rest(value->bytes);
  while (!rest.empty()) {
    const auto end = std::min(rest.find('\0'), rest.size());
    const std::string name = lowered(rest.substr(0, end));
    if (std::find(std::begin(terminals), std::end(terminals), name) != std::end(terminals))
      return true;
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return false;
}

}  // namespace accessibility::x11
