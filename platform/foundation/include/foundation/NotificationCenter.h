#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>

#include "foundation/ObservableObject.h"

namespace foundation {

struct Notification {
  std::string name;
  std::any object;  // the payload, if any
};

// Posts named notifications to the observers of that name, synchronously, in the order they
// subscribed. Main thread only.
class NotificationCenter {
 public:
  static NotificationCenter& defaultCenter();
  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  void post(const std::string& name, std::any object = {});
  // The returned token removes the observer when destroyed or cancelled.
  [[nodiscard]] Cancellable addObserver(const std::string& name,
                                        std::function<void(const Notification&)> observer);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace foundation
