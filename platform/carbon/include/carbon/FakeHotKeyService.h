#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "carbon/HotKeyService.h"

namespace carbon {

// Records registrations and delivers presses on demand, synchronously. Shares one grab per
// combination like the real service.
class FakeHotKeyService : public HotKeyService {
 public:
  using Combination = std::pair<std::uint32_t, std::uint32_t>;  // key code, modifiers

  OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                          HotKeyRef& ref) override;
  OSStatus unregisterHotKey(HotKeyRef ref) override;
  void installHandler(HotKeyEventHandler handler) override;
  std::optional<nlohmann::json> copySymbolicHotKeys() override;
  bool isTakenElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) override;
  void setSuspended(bool suspended, std::function<void()> focusLeft = {}) override {
    this->suspended = suspended;
    this->focusLeft = suspended ? std::move(focusLeft) : nullptr;
  }
  bool suspended = false;
  std::function<void()> focusLeft;

  // Another program holds these: registering them is refused.
  std::set<Combination> takenElsewhere;
  std::optional<nlohmann::json> symbolicHotKeys = nlohmann::json::array();

  // Delivers a press (or release) at the given server time to every registration of the
  // combination; returns how many the handler took.
  int press(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t time = 0);
  int release(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t time = 0);
  // Delivers an arbitrary event, or none.
  OSStatus deliver(const HotKeyEvent* event);

  bool isGrabbed(std::uint32_t keyCode, std::uint32_t modifiers) const;
  std::size_t registrationCount() const { return registrations_.size(); }
  // How often a combination was grabbed from and given back to the desktop.
  int grabs = 0;
  int ungrabs = 0;
  int handlerInstalls = 0;

 private:
  struct Registration {
    Combination combination;
    EventHotKeyID id;
  };
  int deliverAll(std::uint32_t kind, Combination combination, std::uint32_t time);

  std::map<HotKeyRef, Registration> registrations_;
  HotKeyRef nextRef_ = 1;
  HotKeyEventHandler handler_;
};

}  // namespace carbon
