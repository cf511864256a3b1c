#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/Key.h"
#include "HotKeys/Shortcut.h"
#include "foundation/ObservableObject.h"

// Named global shortcuts: stored in the user defaults under "HotKeys_" + name, registered with
// the desktop while someone listens, dispatched to key-down and key-up handlers. Main thread only
// unless said otherwise.
namespace HotKeys {

// A named shortcut. Names are equal when their texts are.
struct Name {
  std::string rawValue;
  std::optional<Shortcut> defaultShortcut;

  // A name without default.
  explicit Name(std::string rawValue) : rawValue(std::move(rawValue)) {}
  // With a default, stored at once (and registered, and announced) when nothing at all is
  // stored for the name yet; a cleared shortcut stays cleared.
  Name(std::string name, std::optional<Shortcut> defaultShortcut);

  std::optional<Shortcut> shortcut() const;
  bool operator==(const Name& other) const { return rawValue == other.rawValue; }
};

enum class EventType { keyDown, keyUp };

inline constexpr const char* kShortcutByNameDidChange = "HotKeys_shortcutByNameDidChange";
inline constexpr const char* kStoragePrefix = "HotKeys_";

// The payload of the change notification.
struct ShortcutChange {
  Name name;
};

std::string userDefaultsKey(const Name& name);
std::optional<Shortcut> storedShortcut(const Name& name);
std::optional<Shortcut> getShortcut(const Name& name);

// Stores the shortcut (registering it) or clears it; posts the change notification.
void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
void saveShortcut(const Shortcut& shortcut, const Name& name);
void reset(const std::vector<Name>& names);
void postShortcutDidChange(const Name& name);

using Action = std::function<void()>;
void onKeyDown(const Name& name, Action action);
void onKeyUp(const Name& name, Action action);
// Gives the name's hot key back to the desktop, keeping storage and handlers.
void disable(const Name& name);
void enable(const Name& name);
void removeAllHandlers();
// The X server time of the key event whose handlers run now (for the activation of a window the
// handler shows); 0 outside a handler or when the desktop did not tell.
std::uint32_t currentEventTime();

// Whether the name's stored shortcut is registered with the desktop now (false when another
// program holds it, or nobody listens).
bool isRegistered(const Name& name);

// While set (the recorder records), fired hot keys are ignored and the desktop's grabs are
// given back, so that the keys reach the recorder.
bool isPaused();
void setPaused(bool paused);
// Runs when the desktop's active window changed while paused (the pause then ends).
[[nodiscard]] foundation::Cancellable onPauseInterrupted(Action action);

// A live subscription to a name's events; ends when destroyed or cancelled.
using EventStream = foundation::Cancellable;
// Key downs and key ups of the name. Set up on the main queue after the call returns.
[[nodiscard]] EventStream events(const Name& name, std::function<void(EventType)> onEvent);
[[nodiscard]] EventStream events(EventType type, const Name& name, std::function<void()> onEvent);
// One type of event; set up at once on the main thread (from another thread, on the main queue).
[[nodiscard]] EventStream on(EventType type, const Name& name, std::function<void()> onEvent);

// Forgets every handler, stream, registration and the pause (tests).
void resetForTesting();

}  // namespace HotKeys
