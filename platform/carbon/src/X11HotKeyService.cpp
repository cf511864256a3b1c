#include "carbon/X11HotKeyService.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include "XcbXkb.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <string_view>
#include <thread>
#include <vector>

#include "carbon/VirtualKeyCodes.h"
#include "foundation/DispatchQueue.h"
#include "foundation/ThreadName.h"

namespace carbon {
namespace {

struct Free {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, Free>;
using Event = std::unique_ptr<xcb_generic_event_t, Free>;

constexpr std::uint8_t kBadAccess = 10;

constexpr xcb_keysym_t kAltL = 0xffe9, kAltR = 0xffea, kMetaL = 0xffe7, kMetaR = 0xffe8;
constexpr xcb_keysym_t kSuperL = 0xffeb, kSuperR = 0xffec;
constexpr xcb_keysym_t kNumLock = 0xff7f, kScrollLock = 0xff14;

// The real modifiers the desktop's keyboard mapping assigns to Alt, Super and the locks.
struct ModifierMasks {
  std::uint16_t alt = 0, super = 0, numLock = 0, scrollLock = 0;
  bool operator==(const ModifierMasks&) const = default;

  // Every mask that holds any of the lock modifiers (the empty one first).
  std::vector<std::uint16_t> lockVariants() const {
    std::vector<std::uint16_t> locks;
    for (std::uint16_t lock : {std::uint16_t{XCB_MOD_MASK_LOCK}, numLock, scrollLock})
      if (lock && std::find(locks.begin(), locks.end(), lock) == locks.end()) locks.push_back(lock);
    std::vector<std::uint16_t> variants;
    for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
      std::uint16_t mask = 0;
      for (std::size_t i = 0; i < locks.size(); ++i)
        if (subset & (1u << i)) mask |= locks[i];
      variants.push_back(mask);
    }
    return variants;
  }
  std::uint16_t locks() const { return XCB_MOD_MASK_LOCK | numLock | scrollLock; }
};

struct Combination {
  xcb_keycode_t keycode = 0;
  std::uint16_t mask = 0;
  auto operator<=>(const Combination&) const = default;
};

}  // namespace

struct X11HotKeyService::Impl : std::enable_shared_from_this<Impl> {
  struct Registration {
    std::uint32_t keyCode = 0, modifiers = 0;
    EventHotKeyID id;
    std::optional<Combination> grabbed;
  };

  xcb_connection_t* c = nullptr;
  xcb_window_t root = XCB_NONE;
  xcb_keycode_t minKeycode = 8, maxKeycode = 255;
  std::uint8_t xkbEventBase = 0;
  bool hasXkb = false;
  ModifierMasks masks;

  std::map<HotKeyRef, Registration> registrations;
  std::map<Combination, int> grabCounts;
  // Keys pressed as hot keys and not released yet, with whom their release goes to.
  std::map<xcb_keycode_t, std::vector<EventHotKeyID>> down;
  HotKeyEventHandler handler;
  HotKeyRef nextRef = 1;
  std::size_t refreshes = 0;
  bool refreshPending = false;
  bool suspended = false;
  std::function<void()> focusLeft;
  xcb_atom_t activeWindowAtom = XCB_ATOM_NONE;
  xcb_atom_t pidAtom = XCB_ATOM_NONE;

  std::thread reader;
  int wakeFd = -1;
  std::atomic<bool> stopping{false};

  ~Impl() {
    if (reader.joinable()) {
      stopping = true;
      wake();
      reader.join();
    }
    if (wakeFd >= 0) ::close(wakeFd);
    if (c) xcb_disconnect(c);
  }

  bool ok() const { return root != XCB_NONE && c && xcb_connection_has_error(c) == 0; }

  void open(const std::string& displayName) {
    int screen = 0;
    c = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screen);
    if (xcb_connection_has_error(c)) return;
    const xcb_setup_t* setup = xcb_get_setup(c);
    minKeycode = setup->min_keycode;
    maxKeycode = setup->max_keycode;
    auto it = xcb_setup_roots_iterator(setup);
    for (int i = 0; it.rem && i < screen; ++i) xcb_screen_next(&it);
    if (!it.rem) return;
    root = it.data->root;
    setUpXkb();
    masks = readModifierMasks();
    // The window manager names the active window on the root window; a window tells whose it
    // is by its process id.
    activeWindowAtom = internAtom("_NET_ACTIVE_WINDOW");
    pidAtom = internAtom("_NET_WM_PID");
    const std::uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootEvents);
    xcb_flush(c);
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  }

  xcb_atom_t internAtom(std::string_view name) {
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  void startReading() {
    if (!ok() || wakeFd < 0) return;
    reader = std::thread([weak = weak_from_this(), c = c, wakeFd = wakeFd, this] {
      foundation::setCurrentThreadName("quill-hotkeys");
      readEvents(weak, c, wakeFd);
    });
  }

  // Detectable auto-repeat turns a held key's release/press pairs into presses alone, and the
  // map notifications tell when the keyboard mapping changed.
  void setUpXkb() {
    const auto* extension = xcb_get_extension_data(c, &xcb_xkb_id);
    if (!extension || !extension->present) return;
    Reply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
        c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (!use || !use->supported) return;
    hasXkb = true;
    xkbEventBase = extension->first_event;
    Reply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
        c,
        xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD,
                                 XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                 XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
        nullptr));
    const std::uint16_t events =
        XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    const std::uint16_t parts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
                                XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    xcb_xkb_select_events_aux(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, 0, parts, parts, &details);
    xcb_flush(c);
  }

  ModifierMasks readModifierMasks() {
    ModifierMasks result;
    Reply<xcb_get_modifier_mapping_reply_t> modmap(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    const int count = maxKeycode - minKeycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> keymap(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, minKeycode, static_cast<std::uint8_t>(count)), nullptr));
    // Waiting for the replies may have queued key events the reader is not polling for: the
    // first key of a keyboard that just took over comes right behind its mapping's notice.
    wake();
    if (!modmap || !keymap) return result;
    const int perKey = keymap->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keymap.get());
    const int keysymCount = xcb_get_keyboard_mapping_keysyms_length(keymap.get());
    const int perModifier = modmap->keycodes_per_modifier;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modmap.get());
    std::uint16_t meta = 0;
    // Shift, Lock and Control are fixed; the others are whatever the mapping says.
    for (int modifier = 3; modifier < 8; ++modifier) {
      const auto bit = static_cast<std::uint16_t>(1u << modifier);
      for (int i = 0; i < perModifier; ++i) {
        const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
        if (keycode < minKeycode || keycode > maxKeycode) continue;
        for (int column = 0; column < perKey; ++column) {
          const int index = (keycode - minKeycode) * perKey + column;
          if (index >= keysymCount) break;
          switch (keysyms[index]) {
            case kAltL:
            case kAltR:
              result.alt |= bit;
              break;
            case kMetaL:
            case kMetaR:
              meta |= bit;
              break;
            case kSuperL:
            case kSuperR:
              result.super |= bit;
              break;
            case kNumLock:
              result.numLock |= bit;
              break;
            case kScrollLock:
              result.scrollLock |= bit;
              break;
            default:
              break;
          }
        }
      }
    }
    if (!result.alt) result.alt = meta;
    return result;
  }

  // The grab for a hot key, or nothing when this keyboard cannot produce it.
  std::optional<Combination> combinationFor(std::uint32_t keyCode, std::uint32_t modifiers) const {
    if (keyCode > 0xffff) return std::nullopt;
    auto evdev = evdevCodeForVirtualKey(static_cast<int>(keyCode));
    if (!evdev) return std::nullopt;
    const int keycode = *evdev + kX11KeycodeOffset;
    if (keycode < minKeycode || keycode > maxKeycode) return std::nullopt;
    Combination combination{static_cast<xcb_keycode_t>(keycode), 0};
    if (modifiers & modifier::shift) combination.mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & modifier::control) combination.mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & modifier::option) {
      if (!masks.alt) return std::nullopt;
      combination.mask |= masks.alt;
    }
    if (modifiers & modifier::command) {
      if (!masks.super) return std::nullopt;
      combination.mask |= masks.super;
    }
    if (combination.mask & masks.locks()) return std::nullopt;
    return combination;
  }

  // Grabs every lock variant; all or nothing.
  OSStatus grab(Combination combination) {
    std::vector<xcb_void_cookie_t> cookies;
    for (auto variant : masks.lockVariants())
      cookies.push_back(xcb_grab_key_checked(c, 0, root, combination.mask | variant,
                                             combination.keycode, XCB_GRAB_MODE_ASYNC,
                                             XCB_GRAB_MODE_ASYNC));
    OSStatus result = status::noErr;
    for (auto cookie : cookies) {
      Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
      if (error && result == status::noErr)
        result = error->error_code == kBadAccess ? status::hotKeyExists : status::hotKeyInvalid;
    }
    if (result != status::noErr) ungrab(combination, masks);
    if (!ok()) result = status::hotKeyInvalid;
    wake();  // the checks may have queued events the reader is not polling for
    return result;
  }

  // Ungrabbing a variant this client never grabbed leaves other clients' grabs alone.
  // Waits until the server has done it, so that another program may grab at once.
  void ungrab(Combination combination, const ModifierMasks& with) {
    xcb_void_cookie_t last{};
    for (auto variant : with.lockVariants())
      last = xcb_ungrab_key_checked(c, combination.keycode, root, combination.mask | variant);
    Reply<xcb_generic_error_t> error(xcb_request_check(c, last));
    wake();
  }

  OSStatus hold(Registration& registration) {
    auto combination = combinationFor(registration.keyCode, registration.modifiers);
    if (!combination) return status::hotKeyInvalid;
    if (grabCounts[*combination] == 0 && !suspended) {
      if (OSStatus result = grab(*combination); result != status::noErr) {
        grabCounts.erase(*combination);
        return result;
      }
    }
    ++grabCounts[*combination];
    registration.grabbed = combination;
    return status::noErr;
  }

  void letGo(Registration& registration, const ModifierMasks& with) {
    if (!registration.grabbed) return;
    auto it = grabCounts.find(*registration.grabbed);
    if (it != grabCounts.end() && --it->second <= 0) {
      if (!suspended) ungrab(*registration.grabbed, with);
      grabCounts.erase(it);
    }
    registration.grabbed.reset();
  }

  void deliver(std::uint32_t kind, const std::vector<EventHotKeyID>& ids, xcb_timestamp_t time) {
    for (auto id : ids) {
      HotKeyEvent event{kEventClassKeyboard, kind, id, status::noErr, time};
      if (handler) handler(&event);
    }
  }

  void keyPressed(xcb_keycode_t keycode, std::uint16_t state, xcb_timestamp_t time) {
    if (down.contains(keycode)) return;  // auto-repeat of a held hot key
    const std::uint16_t relevant =
        XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | masks.alt | masks.super;
    const Combination combination{keycode, static_cast<std::uint16_t>(state & relevant)};
    std::vector<EventHotKeyID> ids;
    for (const auto& [ref, registration] : registrations)
      if (registration.grabbed == combination) ids.push_back(registration.id);
    if (ids.empty()) return;
    down[keycode] = ids;
    deliver(kEventHotKeyPressed, ids, time);
  }

  // Matched by key: the modifiers may have been let go first.
  void keyReleased(xcb_keycode_t keycode, xcb_timestamp_t time) {
    auto it = down.find(keycode);
    if (it == down.end()) return;
    auto ids = std::move(it->second);
    down.erase(it);
    deliver(kEventHotKeyReleased, ids, time);
  }

  // A 32-bit value of one of the window's properties.
  std::optional<std::uint32_t> property32(xcb_window_t window, xcb_atom_t property,
                                          xcb_atom_t type) {
    if (property == XCB_ATOM_NONE) return std::nullopt;
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1), nullptr));
    wake();  // the wait may have queued events the reader is not polling for
    if (!reply || reply->type != type || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4)
      return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  }

  // The user went to a window of another program. Window managers clear the active window
  // between two activations (openbox does), which tells nothing yet; a window of this process
  // (the recorder's own, the alert of a refused key) keeps the pause.
  void activeWindowChanged() {
    if (!suspended || !focusLeft) return;
    const xcb_window_t active =
        property32(root, activeWindowAtom, XCB_ATOM_WINDOW).value_or(XCB_NONE);
    if (active == XCB_NONE) return;
    const auto pid = property32(active, pidAtom, XCB_ATOM_CARDINAL);
    if (pid && *pid == static_cast<std::uint32_t>(::getpid())) return;
    if (auto left = std::move(focusLeft)) left();
  }

  void suspend(bool on, std::function<void()> left) {
    if (on) {
      focusLeft = std::move(left);
      wake();
      if (suspended) return;
      for (const auto& [combination, count] : grabCounts) ungrab(combination, masks);
      down.clear();
      suspended = true;
      return;
    }
    focusLeft = nullptr;
    if (!suspended) return;
    suspended = false;
    std::vector<Combination> lost;
    for (const auto& [combination, count] : grabCounts)
      if (grab(combination) != status::noErr) lost.push_back(combination);
    // Taken meanwhile by another program: those registrations no longer work.
    for (auto combination : lost) {
      grabCounts.erase(combination);
      for (auto& [ref, registration] : registrations) {
        if (registration.grabbed != combination) continue;
        registration.grabbed.reset();
        std::fprintf(stderr, "Hot key %u/%#x was taken by another program\n", registration.keyCode,
                     registration.modifiers);
      }
    }
  }

  void mappingChanged() {
    refreshPending = false;
    ++refreshes;
    const ModifierMasks old = masks;
    masks = readModifierMasks();
    if (masks == old) return;
    for (auto& [ref, registration] : registrations) letGo(registration, old);
    for (auto& [ref, registration] : registrations) {
      if (OSStatus result = hold(registration); result != status::noErr)
        std::fprintf(stderr, "Hot key %u/%#x no longer available after a keyboard change (%d)\n",
                     registration.keyCode, registration.modifiers, result);
    }
  }

  void wake() const {
    if (wakeFd < 0) return;
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd, &one, sizeof one);
  }

  // The reader thread: everything it learns goes to the main queue.
  void readEvents(std::weak_ptr<Impl> weak, xcb_connection_t* connection, int wake) {
    auto post = [&weak](std::function<void(Impl&)> work) {
      foundation::DispatchQueue::main().async([weak, work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
      });
    };
    Event pending;
    while (!stopping) {
      Event event = pending ? std::move(pending) : Event(xcb_poll_for_event(connection));
      if (!event) {
        if (xcb_connection_has_error(connection)) break;
        pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {wake, POLLIN, 0}};
        ::poll(fds, 2, -1);
        std::uint64_t count;
        while (::read(wake, &count, sizeof count) > 0) {
        }
        continue;
      }
      const std::uint8_t type = event->response_type & 0x7f;
      if (type == XCB_KEY_PRESS) {
        const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(*event);
        post([keycode = key.detail, state = key.state, time = key.time](Impl& self) {
          self.keyPressed(keycode, state, time);
        });
      } else if (type == XCB_KEY_RELEASE) {
        const auto& key = reinterpret_cast<const xcb_key_release_event_t&>(*event);
        // Without detectable auto-repeat a held key repeats as release + press, same time.
        pending.reset(xcb_poll_for_queued_event(connection));
        if (pending && (pending->response_type & 0x7f) == XCB_KEY_PRESS) {
          const auto& next = reinterpret_cast<const xcb_key_press_event_t&>(*pending);
          if (next.detail == key.detail && next.time == key.time) {
            pending.reset();
            continue;
          }
        }
        post([keycode = key.detail, time = key.time](Impl& self) {
          self.keyReleased(keycode, time);
        });
      } else if (type == XCB_PROPERTY_NOTIFY) {
        const auto& property = reinterpret_cast<const xcb_property_notify_event_t&>(*event);
        if (property.atom == activeWindowAtom) post([](Impl& self) { self.activeWindowChanged(); });
      } else if (type == XCB_MAPPING_NOTIFY || (hasXkb && type == xkbEventBase)) {
        post([](Impl& self) {
          if (self.refreshPending) return;
          self.refreshPending = true;
          foundation::DispatchQueue::main().async([weak = self.weak_from_this()] {
            if (auto again = weak.lock()) again->mappingChanged();
          });
        });
      }
    }
  }
};

X11HotKeyService::X11HotKeyService(const std::string& displayName)
    : impl_(std::make_shared<Impl>()) {
  impl_->open(displayName);
  impl_->startReading();
}

X11HotKeyService::~X11HotKeyService() {
  if (impl_->ok()) {
    for (auto& [ref, registration] : impl_->registrations) impl_->letGo(registration, impl_->masks);
    xcb_flush(impl_->c);
  }
}

bool X11HotKeyService::ok() const {
  return impl_->ok();
}

OSStatus X11HotKeyService::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                          EventHotKeyID id, HotKeyRef& ref) {
  if (!impl_->ok()) return status::hotKeyInvalid;
  Impl::Registration registration{keyCode, modifiers, id, std::nullopt};
  if (OSStatus result = impl_->hold(registration); result != status::noErr) return result;
  ref = impl_->nextRef++;
  impl_->registrations[ref] = registration;
  return status::noErr;
}

OSStatus X11HotKeyService::unregisterHotKey(HotKeyRef ref) {
  auto it = impl_->registrations.find(ref);
  if (it == impl_->registrations.end()) return status::paramErr;
  if (impl_->ok()) impl_->letGo(it->second, impl_->masks);
  impl_->registrations.erase(it);
  return status::noErr;
}

void X11HotKeyService::installHandler(HotKeyEventHandler handler) {
  impl_->handler = std::move(handler);
}

std::optional<nlohmann::json> X11HotKeyService::copySymbolicHotKeys() {
  return nlohmann::json::array();
}

bool X11HotKeyService::isTakenElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) {
  if (!impl_->ok()) return false;
  auto combination = impl_->combinationFor(keyCode, modifiers);
  if (!combination || impl_->grabCounts.contains(*combination)) return false;
  const OSStatus result = impl_->grab(*combination);
  if (result == status::noErr) impl_->ungrab(*combination, impl_->masks);
  return result == status::hotKeyExists;
}

void X11HotKeyService::setSuspended(bool suspended, std::function<void()> focusLeft) {
  if (impl_->ok()) impl_->suspend(suspended, std::move(focusLeft));
}

std::size_t X11HotKeyService::mappingRefreshes() const {
  return impl_->refreshes;
}

}  // namespace carbon
