#include "HotKeys/CarbonHotKeys.h"

#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "carbon/X11HotKeyService.h"

namespace HotKeys {
namespace {

struct HotKey {
  Shortcut shortcut;
  std::uint32_t carbonHotKeyId;
  carbon::HotKeyRef carbonHotKey;
  CarbonHotKeys::Callback onKeyDown;
  CarbonHotKeys::Callback onKeyUp;
};

struct State {
  std::shared_ptr<carbon::HotKeyService> service;
  std::map<std::uint32_t, HotKey> hotKeys;
  std::uint32_t hotKeyIdCounter = 0;
  bool handlerInstalled = false;
  std::uint32_t currentEventTime = 0;
};

State& state() {
  static State s;
  if (!s.service) s.service = std::make_shared<carbon::X11HotKeyService>();
  return s;
}

bool fitsUnsigned32(int value) {
  return value >= 0;
}

}  // namespace

bool CarbonHotKeys::registerHotKey(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp) {
  auto& s = state();
  const std::uint32_t id = ++s.hotKeyIdCounter;
  if (!fitsUnsigned32(shortcut.carbonKeyCode) || !fitsUnsigned32(shortcut.carbonModifiers))
    return false;
  carbon::HotKeyRef ref = 0;
  const auto result = s.service->registerHotKey(
      static_cast<std::uint32_t>(shortcut.carbonKeyCode),
      static_cast<std::uint32_t>(shortcut.carbonModifiers), {kSignature, id}, ref);
  if (result != carbon::status::noErr || ref == 0) return false;
  s.hotKeys.emplace(id, HotKey{shortcut, id, ref, std::move(onKeyDown), std::move(onKeyUp)});
  if (!s.handlerInstalled) {
    s.service->installHandler(&CarbonHotKeys::hotKeyEventHandler);
    s.handlerInstalled = true;
  }
  return true;
}

void CarbonHotKeys::unregister(const Shortcut& shortcut) {
  auto& s = state();
  std::vector<std::uint32_t> matching;
  for (const auto& [id, hotKey] : s.hotKeys)
    if (hotKey.shortcut.carbonKeyCode == shortcut.carbonKeyCode &&
        hotKey.shortcut.carbonModifiers == shortcut.carbonModifiers)
      matching.push_back(id);
  for (auto id : matching) {
    auto it = s.hotKeys.find(id);
    if (it == s.hotKeys.end()) continue;
    s.service->unregisterHotKey(it->second.carbonHotKey);
    s.hotKeys.erase(it);
  }
}

carbon::OSStatus CarbonHotKeys::hotKeyEventHandler(const carbon::HotKeyEvent* event) {
  if (!event) return carbon::status::eventNotHandled;
  if (event->parameterStatus != carbon::status::noErr) return event->parameterStatus;
  if (event->hotKeyID.signature != kSignature) return carbon::status::eventNotHandled;
  auto& s = state();
  auto it = s.hotKeys.find(event->hotKeyID.id);
  if (it == s.hotKeys.end()) return carbon::status::eventNotHandled;
  // The callbacks may change the table; run copies.
  const Shortcut shortcut = it->second.shortcut;
  // A callback may spin a nested loop that handles another hot key: the outer time comes back.
  struct CurrentTime {
    std::uint32_t& slot;
    std::uint32_t outer;
    ~CurrentTime() { slot = outer; }
  } current{s.currentEventTime, std::exchange(s.currentEventTime, event->time)};
  switch (event->kind) {
    case carbon::kEventHotKeyPressed: {
      auto callback = it->second.onKeyDown;
      if (callback) callback(shortcut);
      break;
    }
    case carbon::kEventHotKeyReleased: {
      auto callback = it->second.onKeyUp;
      if (callback) callback(shortcut);
      break;
    }
    default:
      return carbon::status::eventNotHandled;
  }
  return carbon::status::noErr;
}

std::vector<Shortcut> symbolicHotKeysFrom(const std::optional<nlohmann::json>& list) {
  std::vector<Shortcut> shortcuts;
  if (!list || !list->is_array()) return shortcuts;
  for (const auto& entry : *list)
    if (!entry.is_object()) return {};
  for (const auto& entry : *list) {
    auto enabled = entry.find("kHISymbolicHotKeyEnabled");
    if (enabled == entry.end() || !enabled->is_boolean() || !enabled->get<bool>()) continue;
    auto code = entry.find("kHISymbolicHotKeyCode");
    auto modifiers = entry.find("kHISymbolicHotKeyModifiers");
    if (code == entry.end() || !code->is_number_integer() || modifiers == entry.end() ||
        !modifiers->is_number_integer())
      continue;
    const auto keyCode = code->get<std::int64_t>();
    if (keyCode < 0 || keyCode > INT32_MAX) continue;
    // Only the four modifier bits matter, whatever else is set.
    shortcuts.emplace_back(static_cast<int>(keyCode),
                           static_cast<int>(modifiers->get<std::int64_t>() & 0xffff));
  }
  return shortcuts;
}

std::vector<Shortcut> CarbonHotKeys::systemSymbolicHotKeys() {
  return symbolicHotKeysFrom(state().service->copySymbolicHotKeys());
}

bool CarbonHotKeys::isTakenElsewhere(const Shortcut& shortcut) {
  if (!fitsUnsigned32(shortcut.carbonKeyCode) || !fitsUnsigned32(shortcut.carbonModifiers))
    return false;
  return state().service->isTakenElsewhere(static_cast<std::uint32_t>(shortcut.carbonKeyCode),
                                           static_cast<std::uint32_t>(shortcut.carbonModifiers));
}

std::uint32_t CarbonHotKeys::currentEventTime() {
  return state().currentEventTime;
}

carbon::HotKeyService& CarbonHotKeys::service() {
  return *state().service;
}

void CarbonHotKeys::setService(std::shared_ptr<carbon::HotKeyService> service) {
  auto& s = state();
  s.hotKeys.clear();
  s.hotKeyIdCounter = 0;
  s.handlerInstalled = false;
  s.service = service ? std::move(service) : std::make_shared<carbon::X11HotKeyService>();
}

std::size_t CarbonHotKeys::registrationCount() {
  return state().hotKeys.size();
}

}  // namespace HotKeys
