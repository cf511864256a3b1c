#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace foundation {

// Keeps a subscription alive; cancels it when destroyed or on cancel(). Safe to outlive the
// object it observes.
class Cancellable {
 public:
  Cancellable() = default;
  explicit Cancellable(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Cancellable(Cancellable&& other) noexcept : cancel_(std::exchange(other.cancel_, {})) {}
  Cancellable& operator=(Cancellable&& other) noexcept {
    if (this != &other) {
      cancel();
      cancel_ = std::exchange(other.cancel_, {});
    }
    return *this;
  }
  Cancellable(const Cancellable&) = delete;
  Cancellable& operator=(const Cancellable&) = delete;
  ~Cancellable() { cancel(); }

  void cancel() {
    if (auto c = std::exchange(cancel_, {})) c();
  }

 private:
  std::function<void()> cancel_;
};

// A long-lived object whose observers are told before each of its changes. Main thread only
// (asserted in debug and sanitizer builds).
class ObservableObject {
 public:
  ObservableObject();
  virtual ~ObservableObject();
  ObservableObject(const ObservableObject&) = delete;
  ObservableObject& operator=(const ObservableObject&) = delete;

  // The observer runs synchronously before every change. It may unsubscribe itself or others.
  [[nodiscard]] Cancellable subscribeWillChange(std::function<void()> observer);

  // Tells every observer that a change is about to happen.
  void sendWillChange();

  std::size_t observerCount() const;

 private:
  struct Observers;
  std::shared_ptr<Observers> observers_;
};

// A property of an ObservableObject: every store, even of an equal value, first tells the
// owner's observers, then stores.
template <class T>
class Published {
 public:
  Published(ObservableObject* owner, T initial) : owner_(owner), value_(std::move(initial)) {}
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  const T& get() const { return value_; }
  operator const T&() const { return value_; }  // NOLINT: reads like the plain value
  const T* operator->() const { return &value_; }
  // Counts the stores and in-place changes: a reader that saw this count sees the same value
  // while it holds, without comparing a value that may be large.
  std::uint64_t stores() const { return stores_; }

  void set(T value) {
    owner_->sendWillChange();
    value_ = std::move(value);
    ++stores_;
  }
  Published& operator=(T value) {
    set(std::move(value));
    return *this;
  }
  // An in-place change publishes once.
  template <class F>
  decltype(auto) modify(F&& edit) {
    owner_->sendWillChange();
    ++stores_;  // first: the edit's result goes back as it is
    return std::forward<F>(edit)(value_);
  }

 private:
  ObservableObject* owner_;
  T value_;
  std::uint64_t stores_ = 0;
};

}  // namespace foundation
