#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/ObservableObject.h"

namespace core {

// Tells its observers of one kind of event, in the order they subscribed, each exactly once per
// announcement. An observer may unsubscribe itself or others meanwhile. Main thread only.
template <class... Args>
class Announcer {
 public:
  Announcer() = default;
  Announcer(const Announcer&) = delete;
  Announcer& operator=(const Announcer&) = delete;

  [[nodiscard]] foundation::Cancellable subscribe(std::function<void(Args...)> observer) {
    const std::uint64_t key = observers_->next++;
    observers_->byKey.emplace(key, std::move(observer));
    return foundation::Cancellable([weak = std::weak_ptr<Observers>(observers_), key] {
      if (const auto observers = weak.lock()) observers->byKey.erase(key);
    });
  }

  void announce(const Args&... args) const {
    if (observers_->byKey.empty()) return;
    std::vector<std::uint64_t> keys;
    keys.reserve(observers_->byKey.size());
    for (const auto& [key, observer] : observers_->byKey) keys.push_back(key);
    for (const auto key : keys) {
      const auto found = observers_->byKey.find(key);
      if (found == observers_->byKey.end()) continue;  // unsubscribed by an earlier one
      const auto observer = found->second;
      observer(args...);
    }
  }

 private:
  struct Observers {
    std::uint64_t next = 0;
    std::map<std::uint64_t, std::function<void(Args...)>> byKey;
  };
  std::shared_ptr<Observers> observers_ = std::make_shared<Observers>();
};

// A published property that also tells observers of its own once each store or in-place change
// is done, even of an equal value: for those who react to this property, not to every change of
// its owner. The owner's observers hear first, as for any published property.
template <class T>
class AnnouncedProperty {
 public:
  AnnouncedProperty(foundation::ObservableObject* owner, T initial)
      : value_(owner, std::move(initial)) {}
  AnnouncedProperty(const AnnouncedProperty&) = delete;
  AnnouncedProperty& operator=(const AnnouncedProperty&) = delete;

  const T& get() const { return value_.get(); }
  operator const T&() const { return value_.get(); }  // NOLINT: reads like the plain value
  const T* operator->() const { return &value_.get(); }

  void set(T value) {
    value_.set(std::move(value));
    didSet_.announce(value_.get());
  }
  AnnouncedProperty& operator=(T value) {
    set(std::move(value));
    return *this;
  }
  template <class F>
  void modify(F&& edit) {
    value_.modify(std::forward<F>(edit));
    didSet_.announce(value_.get());
  }

  [[nodiscard]] foundation::Cancellable subscribeDidSet(std::function<void(const T&)> observer) {
    return didSet_.subscribe(std::move(observer));
  }

 private:
  foundation::Published<T> value_;
  Announcer<const T&> didSet_;
};

}  // namespace core
