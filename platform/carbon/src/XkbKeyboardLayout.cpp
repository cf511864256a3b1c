#include "carbon/XkbKeyboardLayout.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>
#include "XcbXkb.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "carbon/VirtualKeyCodes.h"
#include "foundation/DispatchQueue.h"
#include "foundation/NotificationCenter.h"
#include "foundation/ThreadName.h"

namespace carbon {
namespace {

constexpr int kEvdevKeyA = 30;

// Dead keys type nothing by themselves; show their spacing accent.
std::optional<std::string> deadKeyText(xkb_keysym_t keysym) {
  static const std::pair<xkb_keysym_t, const char*> accents[] = {
      {XKB_KEY_dead_grave, "`"},          {XKB_KEY_dead_acute, "\u00B4"},
      {XKB_KEY_dead_circumflex, "^"},     {XKB_KEY_dead_tilde, "~"},
      {XKB_KEY_dead_macron, "\u00AF"},    {XKB_KEY_dead_breve, "\u02D8"},
      {XKB_KEY_dead_abovedot, "\u02D9"},  {XKB_KEY_dead_diaeresis, "\u00A8"},
      {XKB_KEY_dead_abovering, "\u02DA"}, {XKB_KEY_dead_doubleacute, "\u02DD"},
      {XKB_KEY_dead_caron, "\u02C7"},     {XKB_KEY_dead_cedilla, "\u00B8"},
      {XKB_KEY_dead_ogonek, "\u02DB"},
  };
  for (auto [dead, text] : accents)
    if (dead == keysym) return text;
  return std::nullopt;
}

std::optional<std::string> utf8(xkb_keysym_t keysym) {
  char buffer[16];
  const int size = xkb_keysym_to_utf8(keysym, buffer, sizeof buffer);
  if (size <= 1) return std::nullopt;  // the size counts the terminating NUL
  return std::string(buffer, static_cast<std::size_t>(size - 1));
}

bool isKeypadKeysym(xkb_keysym_t keysym) {
  return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_9;
}

}  // namespace

struct XkbKeyboardLayout::Impl {
  xcb_connection_t* c = nullptr;
  xkb_context* context = nullptr;
  xkb_keymap* keymap = nullptr;
  std::int32_t device = -1;
  std::uint8_t eventBase = 0;
  xkb_layout_index_t group = 0;

  ~Impl() {
    if (keymap) xkb_keymap_unref(keymap);
    if (context) xkb_context_unref(context);
    if (c) xcb_disconnect(c);
  }

  bool open(const std::string& displayName) {
    c = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
    if (xcb_connection_has_error(c)) return false;
    std::uint8_t base = 0;
    if (!xkb_x11_setup_xkb_extension(
            c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &base, nullptr))
      return false;
    eventBase = base;
    device = xkb_x11_get_core_keyboard_device_id(c);
    if (device < 0) return false;
    context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) return false;
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    const std::uint16_t parts =
        XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
        XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
        XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_xkb_select_events_aux(c, static_cast<xcb_xkb_device_spec_t>(device), events, 0, 0, parts,
                              parts, &details);
    return reload();
  }

  bool reload() {
    xkb_keymap* fresh =
        xkb_x11_keymap_new_from_device(context, c, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!fresh) return keymap != nullptr;
    if (keymap) xkb_keymap_unref(keymap);
    keymap = fresh;
    if (xkb_state* state = xkb_x11_state_new_from_device(keymap, c, device)) {
      group = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
      xkb_state_unref(state);
    }
    return true;
  }

  // Applies what the server said since the last look; true when the keys type something else
  // now. Reading the new keymap may bring more news, read in turn.
  bool catchUp() {
    bool changed = false;
    for (;;) {
      bool newKeymap = false;
      while (auto* event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7f) == eventBase) {
          const auto* xkb = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
          if (xkb->xkbType == XCB_XKB_STATE_NOTIFY) {
            const auto now = static_cast<xkb_layout_index_t>(xkb->group);
            changed = changed || now != group;
            group = now;
          } else if (xkb->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY ||
                     xkb->xkbType == XCB_XKB_MAP_NOTIFY) {
            newKeymap = true;
          }
        }
        std::free(event);
      }
      if (!newKeymap) return changed;
      reload();
      changed = true;
    }
  }

  xkb_keysym_t keysym(xkb_keycode_t keycode, xkb_layout_index_t layout, xkb_level_index_t level) {
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, keycode);
    if (layouts == 0) return XKB_KEY_NoSymbol;
    const xkb_keysym_t* syms = nullptr;
    const int count =
        xkb_keymap_key_get_syms_by_level(keymap, keycode, layout % layouts, level, &syms);
    return count >= 1 ? syms[0] : XKB_KEY_NoSymbol;
  }

  // The current group if its letters are Latin, else the first group whose letters are.
  xkb_layout_index_t asciiCapableGroup() {
    const auto keyA = static_cast<xkb_keycode_t>(kEvdevKeyA + kX11KeycodeOffset);
    auto latin = [&](xkb_layout_index_t layout) {
      const xkb_keysym_t sym = keysym(keyA, layout, 0);
      return sym >= 0x20 && sym <= 0x7e;
    };
    if (latin(group)) return group;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts(keymap);
    for (xkb_layout_index_t layout = 0; layout < layouts; ++layout)
      if (latin(layout)) return layout;
    return group;
  }

  std::optional<std::string> text(int virtualKeyCode) {
    auto evdev = evdevCodeForVirtualKey(virtualKeyCode);
    if (!evdev) return std::nullopt;
    const auto keycode = static_cast<xkb_keycode_t>(*evdev + kX11KeycodeOffset);
    if (keycode > xkb_keymap_max_keycode(keymap)) return std::nullopt;
    const xkb_layout_index_t layout = asciiCapableGroup();
    const xkb_keysym_t sym = keysym(keycode, layout, 0);
    if (auto text = utf8(sym)) return text;
    if (auto accent = deadKeyText(sym)) return accent;
    // Keypad digits type their digit with Num Lock on, which is how they are known.
    if (isKeypadKeysym(sym)) return utf8(keysym(keycode, layout, 1));
    return std::nullopt;
  }
};

XkbKeyboardLayout::XkbKeyboardLayout(const std::string& displayName)
    : impl_(std::make_unique<Impl>()) {
  if (!impl_->open(displayName)) {
    impl_.reset();
    return;
  }
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ >= 0) watcher_ = std::thread([this] { watch(); });
}

XkbKeyboardLayout::~XkbKeyboardLayout() {
  if (watcher_.joinable()) {
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    watcher_.join();
  }
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void XkbKeyboardLayout::watch() {
  foundation::setCurrentThreadName("quill-keyboard");
  const int connection = xcb_get_file_descriptor(impl_->c);
  for (;;) {
    pollfd fds[2] = {{connection, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents) return;
    std::lock_guard lock(mutex_);
    if (xcb_connection_has_error(impl_->c)) return;
    catchUp();
  }
}

void XkbKeyboardLayout::catchUp() {
  if (!impl_->catchUp()) return;
  foundation::DispatchQueue::main().async(
      [] { foundation::NotificationCenter::defaultCenter().post(kKeyboardLayoutDidChange); });
}

bool XkbKeyboardLayout::ok() const {
  return impl_ != nullptr;
}

std::optional<std::string> XkbKeyboardLayout::unshiftedText(int virtualKeyCode) {
  std::lock_guard lock(mutex_);
  if (!impl_) return std::nullopt;
  catchUp();
  return impl_->text(virtualKeyCode);
}

}  // namespace carbon
