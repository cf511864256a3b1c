#pragma once

#include <concepts>
#include <memory>
#include <utility>
#include <vector>

#include "ui/Environment.h"
#include "ui/Geometry.h"

namespace ui {

// A typed preference key: values flow up the tree, siblings combined in tree order by
// `reduce(accumulated, next)`, starting from `defaultValue()`.
template <class K>
concept PreferenceKey = requires(typename K::Value& acc, const typename K::Value& next) {
  { K::defaultValue() } -> std::convertible_to<typename K::Value>;
  K::reduce(acc, next);
};

namespace detail {
struct NodeHandle;
}

// A rectangle of some view, resolvable later in the geometry of any of its ancestors
// (GeometryProxy::operator[]). Holds the view weakly: a gone view resolves to a null rect.
class Anchor {
 public:
  Anchor() = default;
  Anchor(std::weak_ptr<detail::NodeHandle> source, Rect local)
      : source_(std::move(source)), local_(local) {}
  const std::weak_ptr<detail::NodeHandle>& source() const { return source_; }
  Rect localRect() const { return local_; }
  bool operator==(const Anchor& other) const {
    return !source_.owner_before(other.source_) && !other.source_.owner_before(source_) &&
           local_ == other.local_;
  }

 private:
  std::weak_ptr<detail::NodeHandle> source_;
  Rect local_;
};

// The combined preference values of a subtree, type-erased by key.
class PreferenceValues {
 public:
  template <PreferenceKey K>
  const typename K::Value* find() const {
    for (const auto& e : entries_)
      if (e.tag == &detail::keyTag<K>) return static_cast<const typename K::Value*>(e.value.get());
    return nullptr;
  }
  template <PreferenceKey K>
  typename K::Value valueOr() const {
    if (auto* v = find<K>()) return *v;
    return K::defaultValue();
  }
  template <PreferenceKey K>
  void set(typename K::Value value) {
    put(&detail::keyTag<K>, std::make_shared<const typename K::Value>(std::move(value)),
        &opsFor<K>());
  }
  // Starts from the default when the subtree set nothing.
  template <PreferenceKey K, class F>
  void transform(F&& edit) {
    typename K::Value value = valueOr<K>();
    std::forward<F>(edit)(value);
    set<K>(std::move(value));
  }
  // This value followed by `next`, key by key.
  void reduce(const PreferenceValues& next);
  bool empty() const { return entries_.empty(); }
  bool operator==(const PreferenceValues& other) const;

 private:
  struct Ops {
    std::shared_ptr<const void> (*reduce)(const void* acc, const void* next);
    bool (*equal)(const void* a, const void* b);
  };
  struct Entry {
    const void* tag;
    std::shared_ptr<const void> value;
    const Ops* ops;
  };
  template <PreferenceKey K>
  static const Ops& opsFor() {
    using V = typename K::Value;
    static const Ops ops{[](const void* acc, const void* next) -> std::shared_ptr<const void> {
                           auto v = std::make_shared<V>(*static_cast<const V*>(acc));
                           K::reduce(*v, *static_cast<const V*>(next));
                           return v;
                         },
                         &detail::sameValue<V>};
    return ops;
  }
  void put(const void* tag, std::shared_ptr<const void> value, const Ops* ops);
  std::vector<Entry> entries_;
};

}  // namespace ui
