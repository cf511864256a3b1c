#include "accessibility/X11KeyEventPoster.h"

#include <xcb/xtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <string_view>
#include <thread>

#include "appkit/x11/Connection.h"

namespace accessibility {
namespace {

using Keysym = std::uint32_t;

constexpr Keysym kControlL = 0xffe3;
constexpr Keysym kShiftL = 0xffe1;
constexpr Keysym kAltL = 0xffe9;

constexpr int kShiftIndex = 0;
constexpr int kLockIndex = 1;
constexpr int kControlIndex = 2;
constexpr int kMod1Index = 3;  // Alt on every common layout

// Virtual key code → the keysym on that key of a US layout.
std::optional<Keysym> keysymFor(std::uint16_t keyCode) {
  static constexpr std::pair<std::uint16_t, Keysym> table[] = {
      {0, 'a'},  {1, 's'},  {2, 'd'},     {3, 'f'},     {4, 'h'},  {5, 'g'},
      {6, 'z'},  {7, 'x'},  {8, 'c'},     {9, 'v'},     {11, 'b'}, {12, 'q'},
      {13, 'w'}, {14, 'e'}, {15, 'r'},    {16, 'y'},    {17, 't'}, {31, 'o'},
      {32, 'u'}, {34, 'i'}, {35, 'p'},    {37, 'l'},    {38, 'j'}, {40, 'k'},
      {45, 'n'}, {46, 'm'}, {36, 0xff0d}, {48, 0xff09}, {49, ' '}, {53, 0xff1b}};
  for (auto [code, keysym] : table)
    if (code == keyCode) return keysym;
  return std::nullopt;
}

// The key that carries `keysym` on a US keyboard, as X servers number keys (evdev code + 8):
// with a layout that has no such letter (Russian alone, say), Ctrl and the key labelled C is
// still what a person presses to copy.
std::optional<std::uint8_t> usKeyboardKeycode(Keysym keysym) {
  static constexpr std::string_view rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  static constexpr int firstCodeOfRow[] = {16, 30, 44};
  for (int row = 0; row < 3; ++row) {
    const std::size_t at = rows[row].find(static_cast<char>(keysym));
    if (keysym < 0x80 && at != std::string_view::npos)
      return static_cast<std::uint8_t>(8 + firstCodeOfRow[row] + static_cast<int>(at));
  }
  switch (keysym) {
    case ' ':
      return 8 + 57;
    case 0xff0d:  // Return
      return 8 + 28;
    case 0xff09:  // Tab
      return 8 + 15;
    case 0xff1b:  // Escape
      return 8 + 1;
    default:
      return std::nullopt;
  }
}

}  // namespace

struct X11KeyEventPoster::Display {
  explicit Display(const std::string& name) : connection(name.empty() ? nullptr : name.c_str()) {
    if (!connection.ok()) return;
    const auto* extension = xcb_get_extension_data(connection.get(), &xcb_test_id);
    hasTest = extension && extension->present;
  }

  appkit::x11::Connection connection;
  bool hasTest = false;

  // The key that types `keysym` unshifted, else any key that has it.
  std::optional<std::uint8_t> keycodeFor(Keysym keysym) {
    auto* c = connection.get();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const std::uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    appkit::x11::Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, first, static_cast<std::uint8_t>(count)), nullptr));
    if (!mapping) return std::nullopt;
    const int perKey = mapping->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    for (int column = 0; column < perKey; ++column)
      for (int key = 0; key < count; ++key)
        if (keysyms[key * perKey + column] == keysym) return static_cast<std::uint8_t>(first + key);
    return std::nullopt;
  }

  // `keycode` if the server has such a key.
  std::optional<std::uint8_t> existing(std::optional<std::uint8_t> keycode) {
    const xcb_setup_t* setup = xcb_get_setup(connection.get());
    if (keycode && *keycode >= setup->min_keycode && *keycode <= setup->max_keycode) return keycode;
    return std::nullopt;
  }

  // (key, modifier index) for every key that is a modifier.
  std::vector<std::pair<std::uint8_t, int>> modifierKeys() {
    auto* c = connection.get();
    appkit::x11::Reply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    std::vector<std::pair<std::uint8_t, int>> keys;
    if (!mapping) return keys;
    const int perModifier = mapping->keycodes_per_modifier;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    for (int modifier = 0; modifier < 8; ++modifier)
      for (int i = 0; i < perModifier; ++i)
        if (auto code = codes[modifier * perModifier + i]) keys.emplace_back(code, modifier);
    return keys;
  }

  std::array<std::uint8_t, 32> keysDown() {
    auto* c = connection.get();
    appkit::x11::Reply<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    std::array<std::uint8_t, 32> down{};
    if (keymap) std::copy(std::begin(keymap->keys), std::end(keymap->keys), down.begin());
    return down;
  }

  void fake(std::uint8_t type, std::uint8_t keycode) {
    xcb_test_fake_input(connection.get(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  }
};

X11KeyEventPoster::X11KeyEventPoster(std::string displayName,
                                     std::chrono::milliseconds modifierReleaseWait)
    : modifierReleaseWait_(modifierReleaseWait), display_(std::make_unique<Display>(displayName)) {}

X11KeyEventPoster::~X11KeyEventPoster() = default;

bool X11KeyEventPoster::ok() const {
  return display_->connection.ok() && display_->hasTest;
}

bool X11KeyEventPoster::post(const KeyEvent& event) {
  std::lock_guard lock(mutex_);
  if (!ok()) return false;
  auto keysym = keysymFor(event.keyCode);
  if (!keysym) return false;
  auto keycode = display_->keycodeFor(*keysym);
  if (!keycode) keycode = display_->existing(usKeyboardKeycode(*keysym));
  if (!keycode) return false;
  auto& d = *display_;

  if (!event.keyDown) {
    d.fake(XCB_KEY_RELEASE, *keycode);
    for (auto it = pressedModifiers_.rbegin(); it != pressedModifiers_.rend(); ++it)
      d.fake(XCB_KEY_RELEASE, *it);
    for (auto key : releasedModifiers_) d.fake(XCB_KEY_PRESS, key);
    pressedModifiers_.clear();
    releasedModifiers_.clear();
    d.connection.sync();
    return d.connection.ok();
  }

  struct Wanted {
    std::uint64_t flags;
    int index;
    Keysym keysym;
  };
  const Wanted wanted[] = {
      {kEventFlagMaskCommand | kEventFlagMaskControl, kControlIndex, kControlL},
      {kEventFlagMaskShift, kShiftIndex, kShiftL},
      {kEventFlagMaskAlternate, kMod1Index, kAltL}};
  unsigned wantedMask = 0;
  for (const auto& w : wanted)
    if (event.flags & w.flags) wantedMask |= 1u << w.index;

  const auto modifiers = d.modifierKeys();
  auto isDown = [](const std::array<std::uint8_t, 32>& down, std::uint8_t key) {
    return (down[key / 8] & (1u << (key % 8))) != 0;
  };
  auto heldModifier = [&](const std::array<std::uint8_t, 32>& down) {
    for (auto [key, index] : modifiers)
      if (index != kLockIndex && isDown(down, key)) return true;
    return false;
  };
  // The user's modifiers (those of the hot key that led here) are let go first, boundedly: a
  // key that is let go between our look and our key would change what the key types.
  auto down = d.keysDown();
  const auto giveUp = std::chrono::steady_clock::now() + modifierReleaseWait_;
  while (heldModifier(down) && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    down = d.keysDown();
  }
  std::vector<std::uint8_t> toRelease;
  for (auto [key, index] : modifiers) {
    if (index == kLockIndex || !isDown(down, key) || (wantedMask & (1u << index))) continue;
    if (std::find(toRelease.begin(), toRelease.end(), key) == toRelease.end())
      toRelease.push_back(key);
  }
  // Each wanted modifier is pressed here, on a key of it the user does not hold, so that it is
  // down for the key whatever the user lets go meanwhile. Every key is looked up before anything
  // is pressed: a plain "c" must never be typed.
  std::vector<std::uint8_t> toPress;
  for (const auto& w : wanted) {
    if (!(wantedMask & (1u << w.index))) continue;
    std::optional<std::uint8_t> free;
    const auto preferred = d.keycodeFor(w.keysym);
    if (preferred && !isDown(down, *preferred)) free = preferred;
    for (auto [key, index] : modifiers)
      if (!free && index == w.index && !isDown(down, key)) free = key;
    if (!free) return false;
    toPress.push_back(*free);
  }
  for (auto key : toRelease) d.fake(XCB_KEY_RELEASE, key);
  for (auto key : toPress) d.fake(XCB_KEY_PRESS, key);
  releasedModifiers_.insert(releasedModifiers_.end(), toRelease.begin(), toRelease.end());
  pressedModifiers_.insert(pressedModifiers_.end(), toPress.begin(), toPress.end());
  d.fake(XCB_KEY_PRESS, *keycode);
  d.connection.sync();
  return d.connection.ok();
}

}  // namespace accessibility
