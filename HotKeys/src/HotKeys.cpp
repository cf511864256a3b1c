#include "HotKeys/HotKeys.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_set>

#include "foundation/DispatchQueue.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"

namespace HotKeys {
namespace {

struct Handlers {
  Name name;
  std::vector<Action> actions;
};

struct Streams {
  Name name;
  std::map<std::uint64_t, Action> yields;
};

struct Registry {
  std::unordered_set<Shortcut> registeredShortcuts;
  // Refusals already told on standard error: a retry of the same one says nothing new.
  std::set<std::pair<std::string, std::string>> reportedRefusals;
  std::map<std::string, Handlers> keyDownHandlers, keyUpHandlers;
  std::map<std::string, Streams> streamKeyDownHandlers, streamKeyUpHandlers;
  // Disabled names fire nothing even while another name keeps their shortcut registered.
  std::set<std::string> disabledNames;
  bool paused = false;
  std::map<std::uint64_t, Action> pauseInterruptedObservers;
  std::uint64_t nextObserverId = 1;
};

// Streams may be made on any thread.
std::atomic<std::uint64_t> nextStreamId{1};

Registry& registry() {
  static Registry r;
  return r;
}

void dispatch(const Shortcut& shortcut, EventType type);

void runOnMain(foundation::Block block) {
  if (foundation::DispatchQueue::main().isCurrent())
    block();
  else
    foundation::DispatchQueue::main().async(std::move(block));
}

bool holds(const Name& name, const Shortcut& shortcut) {
  auto stored = storedShortcut(name);
  return stored && stored->carbonKeyCode == shortcut.carbonKeyCode &&
         stored->carbonModifiers == shortcut.carbonModifiers;
}

// Whether a listening, enabled name other than `except` holds the shortcut.
bool inUse(const Shortcut& shortcut, const std::string* except) {
  auto& r = registry();
  auto check = [&](const auto& table) {
    for (const auto& [raw, entry] : table) {
      if ((except && raw == *except) || r.disabledNames.contains(raw)) continue;
      if (holds(entry.name, shortcut)) return true;
    }
    return false;
  };
  return check(r.keyDownHandlers) || check(r.keyUpHandlers) || check(r.streamKeyDownHandlers) ||
         check(r.streamKeyUpHandlers);
}

bool registerShortcut(const Shortcut& shortcut, const Name& name) {
  auto& r = registry();
  if (r.registeredShortcuts.contains(shortcut)) return true;
  const bool registered = CarbonHotKeys::registerHotKey(
      shortcut, [](const Shortcut& s) { dispatch(s, EventType::keyDown); },
      [](const Shortcut& s) { dispatch(s, EventType::keyUp); });
  if (!registered) {
    if (!r.reportedRefusals.emplace(name.rawValue, shortcut.json()).second) return false;
    std::fprintf(stderr,
                 "Quillcast: the hot key %s for \"%s\" could not be registered; another program "
                 "may be using it\n",
                 shortcut.displayText().c_str(), name.rawValue.c_str());
    return false;
  }
  r.registeredShortcuts.insert(shortcut);
  return true;
}

void registerIfNeeded(const Name& name) {
  if (registry().disabledNames.contains(name.rawValue)) return;
  if (auto stored = storedShortcut(name)) registerShortcut(*stored, name);
}

// Gives the shortcut back unless another name still needs it.
void giveUp(const Shortcut& shortcut, const std::string* except) {
  if (inUse(shortcut, except)) return;
  CarbonHotKeys::unregister(shortcut);
  registry().registeredShortcuts.erase(shortcut);
}

void dispatch(const Shortcut& shortcut, EventType type) {
  auto& r = registry();
  if (r.paused) return;
  auto& handlers = type == EventType::keyDown ? r.keyDownHandlers : r.keyUpHandlers;
  auto& streams = type == EventType::keyDown ? r.streamKeyDownHandlers : r.streamKeyUpHandlers;
  // Collected first: an action may change the tables.
  std::vector<Action> due;
  for (const auto& [raw, entry] : handlers)
    if (!r.disabledNames.contains(raw) && holds(entry.name, shortcut))
      due.insert(due.end(), entry.actions.begin(), entry.actions.end());
  for (const auto& [raw, entry] : streams)
    if (!r.disabledNames.contains(raw) && holds(entry.name, shortcut))
      for (const auto& [id, yield] : entry.yields) due.push_back(yield);
  for (const auto& action : due) action();
}

void addHandler(std::map<std::string, Handlers>& table, const Name& name, Action action) {
  auto [it, inserted] = table.try_emplace(name.rawValue, Handlers{name, {}});
  it->second.actions.push_back(std::move(action));
  registry().disabledNames.erase(name.rawValue);
  registerIfNeeded(name);
}

void addStream(const Name& name, std::uint64_t id, std::optional<EventType> only,
               std::function<void(EventType)> yield) {
  auto& r = registry();
  for (auto type : {EventType::keyDown, EventType::keyUp}) {
    if (only && *only != type) continue;
    auto& table = type == EventType::keyDown ? r.streamKeyDownHandlers : r.streamKeyUpHandlers;
    auto [it, inserted] = table.try_emplace(name.rawValue, Streams{name, {}});
    it->second.yields[id] = [yield, type] { yield(type); };
  }
  registerIfNeeded(name);
}

void removeStream(const Name& name, std::uint64_t id) {
  auto& r = registry();
  for (auto* table : {&r.streamKeyDownHandlers, &r.streamKeyUpHandlers}) {
    auto it = table->find(name.rawValue);
    if (it == table->end()) continue;
    it->second.yields.erase(id);
    if (it->second.yields.empty()) table->erase(it);
  }
  if (auto stored = storedShortcut(name)) giveUp(*stored, nullptr);
}

}  // namespace

Name::Name(std::string name, std::optional<Shortcut> defaultShortcut)
    : rawValue(std::move(name)), defaultShortcut(defaultShortcut) {
  if (defaultShortcut && !foundation::UserDefaults::standard().has(userDefaultsKey(*this)))
    setShortcut(defaultShortcut, *this);
}

std::optional<Shortcut> Name::shortcut() const {
  return storedShortcut(*this);
}

std::optional<Shortcut> Shortcut::forName(const Name& name) {
  return storedShortcut(name);
}

std::string userDefaultsKey(const Name& name) {
  return kStoragePrefix + name.rawValue;
}

std::optional<Shortcut> storedShortcut(const Name& name) {
  auto text = foundation::UserDefaults::standard().stringForKey(userDefaultsKey(name));
  if (!text) return std::nullopt;
  return Shortcut::fromJSON(*text);
}

std::optional<Shortcut> getShortcut(const Name& name) {
  return storedShortcut(name);
}

void saveShortcut(const Shortcut& shortcut, const Name& name) {
  auto& r = registry();
  const std::string text = shortcut.json();
  if (auto old = storedShortcut(name)) giveUp(*old, &name.rawValue);
  r.disabledNames.erase(name.rawValue);
  registerShortcut(shortcut, name);
  foundation::UserDefaults::standard().set(userDefaultsKey(name), text);
  postShortcutDidChange(name);
}

void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
  if (shortcut) {
    saveShortcut(*shortcut, name);
    return;
  }
  auto old = storedShortcut(name);
  if (!old) return;
  auto& defaults = foundation::UserDefaults::standard();
  if (name.defaultShortcut)
    defaults.set(userDefaultsKey(name), false);
  else
    defaults.removeObject(userDefaultsKey(name));
  giveUp(*old, &name.rawValue);
  postShortcutDidChange(name);
}

void reset(const std::vector<Name>& names) {
  for (const auto& name : names) setShortcut(name.defaultShortcut, name);
}

void postShortcutDidChange(const Name& name) {
  foundation::NotificationCenter::defaultCenter().post(kShortcutByNameDidChange,
                                                       ShortcutChange{name});
}

void onKeyDown(const Name& name, Action action) {
  addHandler(registry().keyDownHandlers, name, std::move(action));
}

void onKeyUp(const Name& name, Action action) {
  addHandler(registry().keyUpHandlers, name, std::move(action));
}

void disable(const Name& name) {
  auto stored = storedShortcut(name);
  if (!stored) return;
  registry().disabledNames.insert(name.rawValue);
  giveUp(*stored, &name.rawValue);
}

void enable(const Name& name) {
  registry().disabledNames.erase(name.rawValue);
  registerIfNeeded(name);
}

void removeAllHandlers() {
  auto& r = registry();
  std::unordered_set<Shortcut> shortcuts;
  auto collect = [&](const auto& table) {
    for (const auto& [raw, entry] : table)
      if (auto stored = storedShortcut(entry.name)) shortcuts.insert(*stored);
  };
  collect(r.keyDownHandlers);
  collect(r.keyUpHandlers);
  collect(r.streamKeyDownHandlers);
  collect(r.streamKeyUpHandlers);
  for (const auto& shortcut : shortcuts) {
    CarbonHotKeys::unregister(shortcut);
    r.registeredShortcuts.erase(shortcut);
  }
  r.keyDownHandlers.clear();
  r.keyUpHandlers.clear();
}

std::uint32_t currentEventTime() {
  return CarbonHotKeys::currentEventTime();
}

bool isRegistered(const Name& name) {
  auto& r = registry();
  auto stored = storedShortcut(name);
  return stored && !r.disabledNames.contains(name.rawValue) &&
         r.registeredShortcuts.contains(*stored);
}

bool isPaused() {
  return registry().paused;
}

void setPaused(bool paused) {
  registry().paused = paused;
  if (!paused) {
    CarbonHotKeys::service().setSuspended(false);
    return;
  }
  // The keys go to the recorder's window meanwhile; once the user is in another window the hot
  // keys must work again.
  CarbonHotKeys::service().setSuspended(true, [] {
    std::vector<Action> observers;
    for (const auto& [id, observer] : registry().pauseInterruptedObservers)
      observers.push_back(observer);
    for (const auto& observer : observers) observer();
    if (isPaused()) setPaused(false);
  });
}

foundation::Cancellable onPauseInterrupted(Action action) {
  auto& r = registry();
  const std::uint64_t id = r.nextObserverId++;
  r.pauseInterruptedObservers[id] = std::move(action);
  return foundation::Cancellable([id] { registry().pauseInterruptedObservers.erase(id); });
}

EventStream events(const Name& name, std::function<void(EventType)> onEvent) {
  const std::uint64_t id = nextStreamId++;
  auto& main = foundation::DispatchQueue::main();
  main.async(
      [name, id, onEvent = std::move(onEvent)] { addStream(name, id, std::nullopt, onEvent); });
  return EventStream([name, id] {
    foundation::DispatchQueue::main().async([name, id] { removeStream(name, id); });
  });
}

EventStream events(EventType type, const Name& name, std::function<void()> onEvent) {
  return events(name, [type, onEvent = std::move(onEvent)](EventType event) {
    if (event == type) onEvent();
  });
}

EventStream on(EventType type, const Name& name, std::function<void()> onEvent) {
  const std::uint64_t id = nextStreamId++;
  runOnMain([name, id, type, onEvent = std::move(onEvent)] {
    addStream(name, id, type, [onEvent](EventType) { onEvent(); });
  });
  return EventStream([name, id] { runOnMain([name, id] { removeStream(name, id); }); });
}

void resetForTesting() {
  auto& r = registry();
  r = Registry{};
}

}  // namespace HotKeys
