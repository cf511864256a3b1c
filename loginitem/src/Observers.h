#pragma once

#include <foundation/ObservableObject.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace loginitem {

// A list of callbacks that may unsubscribe themselves or others while being called.
template <class... Args>
class Observers : public std::enable_shared_from_this<Observers<Args...>> {
 public:
  foundation::Cancellable add(std::function<void(Args...)> observer) {
    const std::uint64_t id = next_++;
    entries_.emplace_back(id, std::make_shared<std::function<void(Args...)>>(std::move(observer)));
    return foundation::Cancellable([weak = this->weak_from_this(), id] {
      if (auto self = weak.lock())
        std::erase_if(self->entries_, [id](auto& e) { return e.first == id; });
    });
  }
  void notify(Args... args) {
    auto snapshot = entries_;
    for (auto& [id, observer] : snapshot) {
      const bool stillThere = std::any_of(entries_.begin(), entries_.end(),
                                          [id = id](auto& e) { return e.first == id; });
      if (stillThere) (*observer)(args...);
    }
  }

 private:
  std::uint64_t next_ = 0;
  std::vector<std::pair<std::uint64_t, std::shared_ptr<std::function<void(Args...)>>>> entries_;
};

}  // namespace loginitem
