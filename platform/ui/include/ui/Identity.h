#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <variant>

namespace ui {

// The identity of a view among its siblings: its structural position, a ForEach id or an
// explicit `.id(...)`. Hashable and compared by value; any hashable value can be boxed.
class Identity {
 public:
  Identity() : value_(std::int64_t{0}) {}
  Identity(int v) : value_(std::int64_t{v}) {}  // NOLINT: ids read like the plain value
  Identity(std::int64_t v) : value_(v) {}       // NOLINT
  Identity(std::size_t v) : value_(static_cast<std::int64_t>(v)) {}  // NOLINT
  Identity(std::string v) : value_(std::move(v)) {}                  // NOLINT
  Identity(const char* v) : value_(std::string(v)) {}                // NOLINT

  template <class T>
  requires(!std::convertible_to<T, std::int64_t> && !std::convertible_to<T, std::string> &&
           requires(const T& t) {
             { std::hash<T>{}(t) } -> std::convertible_to<std::size_t>;
             { t == t } -> std::convertible_to<bool>;
           }) static Identity of(T value) {
    Identity id;
    id.value_ = std::shared_ptr<const Box>(std::make_shared<BoxOf<T>>(std::move(value)));
    return id;
  }

  // Two identities joined, for ids scoped to a parent (a grid row and its cell).
  static Identity pair(Identity a, Identity b);

  std::size_t hash() const;
  bool operator==(const Identity& other) const;
  std::string description() const;

 private:
  struct Box {
    virtual ~Box() = default;
    virtual std::size_t hash() const = 0;
    virtual bool equals(const Box& other) const = 0;
  };
  template <class T>
  struct BoxOf final : Box {
    explicit BoxOf(T v) : value(std::move(v)) {}
    std::size_t hash() const override { return std::hash<T>{}(value); }
    bool equals(const Box& other) const override {
      auto* o = dynamic_cast<const BoxOf*>(&other);
      return o && o->value == value;
    }
    T value;
  };
  struct Pair;
  std::variant<std::int64_t, std::string, std::shared_ptr<const Box>> value_;
};

}  // namespace ui

template <>
struct std::hash<ui::Identity> {
  std::size_t operator()(const ui::Identity& id) const { return id.hash(); }
};
