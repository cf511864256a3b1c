#pragma once

#include <concepts>
#include <functional>
#include <map>
#include <memory>
#include <utility>

namespace ui {

// A typed environment key: `Value` and a `defaultValue()` used when nothing is set.
template <class K>
concept EnvironmentKey = requires {
  typename K::Value;
  { K::defaultValue() } -> std::convertible_to<typename K::Value>;
};

namespace detail {
template <class K>
inline constexpr char keyTag = 0;

template <class T>
bool sameValue(const void* a, const void* b) {
  if (a == b) return true;
  if constexpr (std::equality_comparable<T>) {
    return *static_cast<const T*>(a) == *static_cast<const T*>(b);
  } else {
    return false;
  }
}
}  // namespace detail

// The values flowing down the tree. Persistent: `with` and `transformed` return changed
// copies and share everything else, so copying is cheap.
class Environment {
 public:
  template <EnvironmentKey K>
  const typename K::Value& get() const {
    if (values_) {
      auto it = values_->find(&detail::keyTag<K>);
      if (it != values_->end())
        return *static_cast<const typename K::Value*>(it->second.value.get());
    }
    static const typename K::Value fallback = K::defaultValue();
    return fallback;
  }

  template <EnvironmentKey K>
  Environment with(typename K::Value value) const {
    Environment copy;
    copy.values_ = values_ ? std::make_shared<Map>(*values_) : std::make_shared<Map>();
    copy.values_->insert_or_assign(
        &detail::keyTag<K>, Entry{std::make_shared<const typename K::Value>(std::move(value)),
                                  &detail::sameValue<typename K::Value>});
    return copy;
  }

  template <EnvironmentKey K, class F>
  Environment transformed(F&& edit) const {
    typename K::Value value = get<K>();
    std::forward<F>(edit)(value);
    return with<K>(std::move(value));
  }

  // Equal when every key holds an equal value (values without == compare by instance).
  bool operator==(const Environment& other) const;

 private:
  struct Entry {
    std::shared_ptr<const void> value;
    bool (*same)(const void*, const void*);
  };
  using Map = std::map<const void*, Entry>;
  std::shared_ptr<Map> values_;
};

}  // namespace ui
