#include "updater/ObservableFlag.h"

#include <vector>

namespace updater {

void ObservableFlag::set(bool value) {
  if (value == value_) return;
  value_ = value;
  // Observers may cancel themselves or others while being told.
  std::vector<std::uint64_t> ids;
  for (const auto& [id, _] : *observers_) ids.push_back(id);
  for (const auto id : ids) {
    const auto it = observers_->find(id);
    if (it == observers_->end()) continue;
    auto observer = it->second;
    observer(value_);
  }
}

foundation::Cancellable ObservableFlag::observe(std::function<void(bool)> observer) {
  const std::uint64_t id = nextId_++;
  (*observers_)[id] = observer;
  observer(value_);
  std::weak_ptr<std::map<std::uint64_t, std::function<void(bool)>>> weak = observers_;
  return foundation::Cancellable([weak, id] {
    if (auto observers = weak.lock()) observers->erase(id);
  });
}

}  // namespace updater
