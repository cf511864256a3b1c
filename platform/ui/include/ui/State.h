#pragma once

#include <foundation/MainThread.h>
#include <foundation/ObservableObject.h>

#include <concepts>
#include <functional>
#include <memory>
#include <typeinfo>
#include <utility>

#include "ui/Environment.h"
#include "ui/Preference.h"

namespace ui {

namespace detail {
class Node;
// Marks the node behind the handle dirty, if it still exists.
void invalidate(const std::weak_ptr<NodeHandle>& owner);
}  // namespace detail

// A read-write view of a value owned elsewhere (a state slot, a model property).
template <class T>
class Binding {
 public:
  Binding(std::function<T()> get, std::function<void(T)> set)
      : get_(std::move(get)), set_(std::move(set)) {}
  static Binding constant(T value) {
    return Binding([value] { return value; }, [](T) {});
  }
  T get() const { return get_(); }
  void set(T value) const { set_(std::move(value)); }

 private:
  std::function<T()> get_;
  std::function<void(T)> set_;
};

namespace detail {
template <class T>
struct StateBox {
  T value;
  std::weak_ptr<NodeHandle> owner;
};
}  // namespace detail

// A view-local state slot. Lives as long as the identity of the view that made it; copies
// (captured by closures) reach the same storage. A write that changes the value marks the
// view dirty; writes after the view has gone are kept but rebuild nothing. Main thread only.
template <class T>
class StateRef {
 public:
  explicit StateRef(std::shared_ptr<detail::StateBox<T>> box) : box_(std::move(box)) {}

  const T& get() const { return box_->value; }
  const T& operator*() const { return box_->value; }
  const T* operator->() const { return &box_->value; }

  void set(T value) const {
    foundation::assertMainThread();
    if constexpr (std::equality_comparable<T>) {
      if (box_->value == value) return;
    }
    box_->value = std::move(value);
    detail::invalidate(box_->owner);
  }
  // An in-place edit; rebuilds only when the value changed (for comparable values).
  template <class F>
  void modify(F&& edit) const {
    foundation::assertMainThread();
    if constexpr (std::equality_comparable<T> && std::copy_constructible<T>) {
      T before = box_->value;
      std::forward<F>(edit)(box_->value);
      if (before == box_->value) return;
    } else {
      std::forward<F>(edit)(box_->value);
    }
    detail::invalidate(box_->owner);
  }
  Binding<T> binding() const {
    return Binding<T>([box = box_] { return box->value; },
                      [self = *this](T v) { self.set(std::move(v)); });
  }

 private:
  std::shared_ptr<detail::StateBox<T>> box_;
};

// What a composite view's body sees: its environment, its state slots (in the order the body
// asks for them, as with every build the same sequence) and its state objects.
class BuildContext {
 public:
  explicit BuildContext(detail::Node& node);

  const Environment& environment() const;
  template <EnvironmentKey K>
  const typename K::Value& env() const {
    return environment().get<K>();
  }

  // Throws std::logic_error when this slot was made for another type.
  template <class T>
  StateRef<T> state(T initial = T{}) {
    auto& slot = nextSlot(typeid(detail::StateBox<T>));
    if (!slot) {
      auto box = std::make_shared<detail::StateBox<T>>();
      box->value = std::move(initial);
      box->owner = handle();
      slot = box;
    }
    return StateRef<T>(std::static_pointer_cast<detail::StateBox<T>>(slot));
  }

  // Made once per identity; its changes rebuild this view.
  template <class O, class F>
  requires std::derived_from<O, foundation::ObservableObject> std::shared_ptr<O> stateObject(
      F&& make) {
    auto& slot = nextSlot(typeid(O));
    if (!slot) {
      std::shared_ptr<O> object = std::forward<F>(make)();
      keepSubscribed(*object);
      slot = object;
    }
    return std::static_pointer_cast<O>(slot);
  }
  // An object owned elsewhere whose changes rebuild this view while it observes it.
  void observe(foundation::ObservableObject& object);

  std::weak_ptr<detail::NodeHandle> handle() const;

 private:
  // The next slot's storage, checked against (or claimed for) `type`.
  std::shared_ptr<void>& nextSlot(const std::type_info& type);
  void keepSubscribed(foundation::ObservableObject& object);
  detail::Node& node_;
  std::size_t next_ = 0;
};

}  // namespace ui
