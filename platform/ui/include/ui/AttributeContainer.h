#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/URL.h"
#include "ui/Color.h"
#include "ui/Font.h"
#include "ui/LineStyle.h"

namespace ui {

// The key of an attribute that a library above this layer stores in a container, e.g.
//   struct FontPropertiesAttribute {
//     using Value = FontProperties;
//     static constexpr std::string_view name = "fontProperties";
//   };
// Names are unique across keys. Values are copyable, compared with == and hashed with std::hash.
template <class K>
concept AttributeKey = requires(const typename K::Value& v) {
  { K::name } -> std::convertible_to<std::string_view>;
  { v == v } -> std::convertible_to<bool>;
  { std::hash<typename K::Value>{}(v) } -> std::convertible_to<std::size_t>;
}
&&std::copy_constructible<typename K::Value>;

// The attributes of a stretch of text. An absent optional is an absent attribute; assigning
// std::nullopt removes it.
class AttributeContainer {
 public:
  std::optional<Font> font;
  std::optional<Color> foregroundColor;
  std::optional<Color> backgroundColor;
  std::optional<LineStyle> strikethroughStyle;
  std::optional<LineStyle> underlineStyle;
  std::optional<double> kern;
  std::optional<double> tracking;
  std::optional<double> baselineOffset;  // points, upwards
  std::optional<foundation::URL> link;

  // Extension attributes, keyed by type.
  template <AttributeKey K>
  const typename K::Value* get() const {
    const Extension* e = find(K::name);
    if (!e || e->value->key != keyTag<K>()) return nullptr;
    return &static_cast<const Model<K>&>(*e->value).value;
  }
  template <AttributeKey K>
  bool contains() const {
    return get<K>() != nullptr;
  }
  // std::nullopt removes the attribute.
  template <AttributeKey K>
  void set(std::optional<typename K::Value> value) {
    if (!value) return erase(K::name);
    put(K::name, std::make_shared<const Model<K>>(std::move(*value)));
  }
  template <AttributeKey K>
  void remove() {
    erase(K::name);
  }
  // Edits the value in place when present; answers whether it was.
  template <AttributeKey K, class F>
  bool modify(F&& edit) {
    const typename K::Value* current = get<K>();
    if (!current) return false;
    typename K::Value copy = *current;
    std::forward<F>(edit)(copy);
    set<K>(std::move(copy));
    return true;
  }

  // Every attribute present in `later` replaces the one here.
  void merge(const AttributeContainer& later);
  AttributeContainer merging(const AttributeContainer& later) const;

  bool empty() const;

  friend bool operator==(const AttributeContainer& a, const AttributeContainer& b);
  std::size_t hash() const;

 private:
  struct Value {
    explicit Value(const void* k) : key(k) {}
    virtual ~Value() = default;
    virtual bool equals(const Value& other) const = 0;
    virtual std::size_t hash() const = 0;
    const void* key;
  };
  template <class K>
  struct Model final : Value {
    explicit Model(typename K::Value v) : Value(keyTag<K>()), value(std::move(v)) {}
    bool equals(const Value& other) const override {
      return other.key == key && static_cast<const Model&>(other).value == value;
    }
    std::size_t hash() const override { return std::hash<typename K::Value>{}(value); }
    typename K::Value value;
  };
  struct Extension {
    std::string_view name;
    std::shared_ptr<const Value> value;  // shared between copies; never mutated
  };
  template <class K>
  static const void* keyTag() {
    static const char tag = 0;
    return &tag;
  }

  const Extension* find(std::string_view name) const;
  void put(std::string_view name, std::shared_ptr<const Value> value);
  void erase(std::string_view name);

  std::vector<Extension> extensions_;  // sorted by name
};

}  // namespace ui

template <>
struct std::hash<ui::AttributeContainer> {
  std::size_t operator()(const ui::AttributeContainer& c) const { return c.hash(); }
};
