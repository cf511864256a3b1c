#include "foundation/ObservableObject.h"

#include <map>

namespace foundation {

struct ObservableObject::Observers {
  std::map<std::uint64_t, std::shared_ptr<std::function<void()>>> byId;
  std::uint64_t nextId = 0;
};

ObservableObject::ObservableObject() : observers_(std::make_shared<Observers>()) {}
ObservableObject::~ObservableObject() = default;

Cancellable ObservableObject::subscribeWillChange(std::function<void()> observer) {
  const auto id = observers_->nextId++;
  observers_->byId.emplace(id, std::make_shared<std::function<void()>>(std::move(observer)));
  return Cancellable([weak = std::weak_ptr<Observers>(observers_), id] {
    if (auto observers = weak.lock()) observers->byId.erase(id);
  });
}

void ObservableObject::sendWillChange() {
  // A snapshot, so observers may subscribe or cancel while being told.
  std::vector<std::pair<std::uint64_t, std::shared_ptr<std::function<void()>>>> snapshot(
      observers_->byId.begin(), observers_->byId.end());
  for (const auto& [id, observer] : snapshot) {
    if (observers_->byId.count(id)) (*observer)();
  }
}

}  // namespace foundation
