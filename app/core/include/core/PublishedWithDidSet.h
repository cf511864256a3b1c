#pragma once

#include <functional>
#include <utility>

#include "foundation/ObservableObject.h"

namespace core {

// A published property that also runs an action after every store and every completed in-place
// change, even of an equal value: observers hear first, then the value changes, then the action.
template <class T>
class PublishedWithDidSet {
 public:
  PublishedWithDidSet(foundation::ObservableObject* owner, T initial,
                      std::function<void(const T&)> didSet)
      : value_(owner, std::move(initial)), didSet_(std::move(didSet)) {}

  const T& get() const { return value_.get(); }
  operator const T&() const { return value_.get(); }  // NOLINT: reads like the plain value
  const T* operator->() const { return &value_.get(); }

  void set(T value) {
    value_.set(std::move(value));
    didSet_(value_.get());
  }
  PublishedWithDidSet& operator=(T value) {
    set(std::move(value));
    return *this;
  }
  template <class F>
  void modify(F&& edit) {
    value_.modify(std::forward<F>(edit));
    didSet_(value_.get());
  }

 private:
  foundation::Published<T> value_;
  std::function<void(const T&)> didSet_;
};

}  // namespace core
