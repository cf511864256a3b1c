#include "carbon/FakeHotKeyService.h"

namespace carbon {

OSStatus FakeHotKeyService::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                           EventHotKeyID id, HotKeyRef& ref) {
  const Combination combination{keyCode, modifiers};
  if (takenElsewhere.contains(combination)) return status::hotKeyExists;
  if (!isGrabbed(keyCode, modifiers)) ++grabs;
  ref = nextRef_++;
  registrations_[ref] = {combination, id};
  return status::noErr;
}

OSStatus FakeHotKeyService::unregisterHotKey(HotKeyRef ref) {
  auto it = registrations_.find(ref);
  if (it == registrations_.end()) return status::paramErr;
  const auto combination = it->second.combination;
  registrations_.erase(it);
  if (!isGrabbed(combination.first, combination.second)) ++ungrabs;
  return status::noErr;
}

void FakeHotKeyService::installHandler(HotKeyEventHandler handler) {
  ++handlerInstalls;
  handler_ = std::move(handler);
}

std::optional<nlohmann::json> FakeHotKeyService::copySymbolicHotKeys() {
  return symbolicHotKeys;
}

bool FakeHotKeyService::isTakenElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) {
  return takenElsewhere.contains({keyCode, modifiers});
}

int FakeHotKeyService::press(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t time) {
  return deliverAll(kEventHotKeyPressed, {keyCode, modifiers}, time);
}

int FakeHotKeyService::release(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t time) {
  return deliverAll(kEventHotKeyReleased, {keyCode, modifiers}, time);
}

OSStatus FakeHotKeyService::deliver(const HotKeyEvent* event) {
  return handler_ ? handler_(event) : status::eventNotHandled;
}

bool FakeHotKeyService::isGrabbed(std::uint32_t keyCode, std::uint32_t modifiers) const {
  for (const auto& [ref, registration] : registrations_)
    if (registration.combination == Combination{keyCode, modifiers}) return true;
  return false;
}

int FakeHotKeyService::deliverAll(std::uint32_t kind, Combination combination, std::uint32_t time) {
  std::vector<EventHotKeyID> ids;
  for (const auto& [ref, registration] : registrations_)
    if (registration.combination == combination) ids.push_back(registration.id);
  int handled = 0;
  for (auto id : ids) {
    HotKeyEvent event{kEventClassKeyboard, kind, id, status::noErr, time};
    if (deliver(&event) == status::noErr) ++handled;
  }
  return handled;
}

}  // namespace carbon
