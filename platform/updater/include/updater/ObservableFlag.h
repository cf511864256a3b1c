#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "foundation/ObservableObject.h"

namespace updater {

// A bool whose observers hear the current value at once and then every change.
class ObservableFlag {
 public:
  bool get() const { return value_; }
  void set(bool value);
  [[nodiscard]] foundation::Cancellable observe(std::function<void(bool)> observer);

 private:
  bool value_ = false;
  std::shared_ptr<std::map<std::uint64_t, std::function<void(bool)>>> observers_ =
      std::make_shared<std::map<std::uint64_t, std::function<void(bool)>>>();
  std::uint64_t nextId_ = 0;
};

}  // namespace updater
