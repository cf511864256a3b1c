#include "foundation/ObservableObject.h"

#include <map>
#include <vector>

#include "foundation/MainThread.h"

namespace foundation {

struct ObservableObject::Observers {
  std::map<std::uint64_t, std::shared_ptr<std::function<void()>>> byId;
  std::uint64_t nextId = 0;
};

ObservableObject::ObservableObject() : observers_(std::make_shared<Observers>()) {}
ObservableObject::~ObservableObject() = default;

Cancellable ObservableObject::subscribeWillChange(std::function<void()> observer) {
  assertMainThread();
  const auto id = observers_->nextId++;
  observers_->byId.emplace(id, std::make_shared<std::function<void()>>(std::move(observer)));
  return Cancellable([weak = std::weak_ptr<Observers>(observers_), id] {
    auto observers = weak.lock();
    if (!observers) return;
    auto it = observers->byId.find(id);
    if (it == observers->byId.end()) return;
    // Taken out before it dies: its captures may cancel other subscriptions of this map.
    auto removed = std::move(it->second);
    observers->byId.erase(it);
  });
}

void ObservableObject::sendWillChange() {
  assertMainThread();
  // A snapshot, so observers may subscribe or cancel while being told; the observers stay
  // alive should one of them destroy this object.
  const auto observers = observers_;
  std::vector<std::pair<std::uint64_t, std::shared_ptr<std::function<void()>>>> snapshot(
      observers->byId.begin(), observers->byId.end());
  for (const auto& [id, observer] : snapshot) {
    if (observers->byId.count(id)) (*observer)();
  }
}

std::size_t ObservableObject::observerCount() const {
  return observers_->byId.size();
}

}  // namespace foundation
