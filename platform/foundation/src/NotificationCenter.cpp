#include "foundation/NotificationCenter.h"

#include <map>
#include <mutex>
#include <vector>

#include "foundation/MainThread.h"

namespace foundation {

struct NotificationCenter::State {
  struct Entry {
    std::string name;
    std::shared_ptr<std::function<void(const Notification&)>> observer;
  };
  std::mutex mutex;
  std::map<std::uint64_t, Entry> byId;  // ids grow, so the map keeps subscription order
  std::uint64_t nextId = 0;
};

NotificationCenter& NotificationCenter::defaultCenter() {
  // Leaked on purpose: tokens may be cancelled while static objects are destroyed.
  static NotificationCenter* center = new NotificationCenter;
  return *center;
}

NotificationCenter::NotificationCenter() : state_(std::make_shared<State>()) {}
NotificationCenter::~NotificationCenter() = default;

void NotificationCenter::post(const std::string& name, std::any object) {
  assertMainThread();
  std::vector<std::pair<std::uint64_t, std::shared_ptr<std::function<void(const Notification&)>>>>
      matching;
  {
    std::lock_guard lock(state_->mutex);
    for (const auto& [id, entry] : state_->byId)
      if (entry.name == name) matching.emplace_back(id, entry.observer);
  }
  const Notification notification{name, std::move(object)};
  // Keeps the state alive should an observer destroy the centre itself.
  const auto state = state_;
  for (const auto& [id, observer] : matching) {
    {
      // Removed by an earlier observer of this post: not told any more.
      std::lock_guard lock(state->mutex);
      if (!state->byId.count(id)) continue;
    }
    (*observer)(notification);
  }
}

Cancellable NotificationCenter::addObserver(const std::string& name,
                                            std::function<void(const Notification&)> observer) {
  assertMainThread();
  std::uint64_t id;
  {
    std::lock_guard lock(state_->mutex);
    id = state_->nextId++;
    state_->byId.emplace(
        id, State::Entry{name, std::make_shared<std::function<void(const Notification&)>>(
                                   std::move(observer))});
  }
  return Cancellable([weak = std::weak_ptr<State>(state_), id] {
    if (auto state = weak.lock()) {
      // Declared before the lock, so the observer's captures are released outside it.
      std::shared_ptr<std::function<void(const Notification&)>> removed;
      std::lock_guard lock(state->mutex);
      if (auto it = state->byId.find(id); it != state->byId.end()) {
        removed = std::move(it->second.observer);
        state->byId.erase(it);
      }
    }
  });
}

}  // namespace foundation
