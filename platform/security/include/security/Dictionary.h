#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace security {

using OSStatus = std::int32_t;
using Bytes = std::vector<std::uint8_t>;
using Date = std::chrono::system_clock::time_point;

// The synchronizable value that matches items either way.
struct SynchronizableAny {
  bool operator==(const SynchronizableAny&) const = default;
};
enum class MatchLimit { one, all };
// An object handed through untouched (an authentication context).
using Opaque = std::shared_ptr<const void>;

using Value = std::variant<std::string, bool, std::int64_t, Bytes, Date, SynchronizableAny,
                           MatchLimit, Opaque>;

// Keys to values in the order they were first set; setting an existing key replaces its value
// in place.
class Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;

  Dictionary() = default;
  Dictionary(std::initializer_list<Entry> entries);

  void set(std::string_view key, Value value);
  const Value* find(std::string_view key) const;
  template <class T>
  const T* get(std::string_view key) const {
    const Value* v = find(key);
    return v ? std::get_if<T>(v) : nullptr;
  }
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  bool erase(std::string_view key);
  // Every entry of `other` set over this one.
  void merge(const Dictionary& other);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  bool operator==(const Dictionary&) const = default;

 private:
  std::vector<Entry> entries_;
};

// What a search hands back: nothing, one item's data, one item's attributes or a list.
using Result = std::variant<std::monostate, Bytes, Dictionary, std::vector<Dictionary>>;

}  // namespace security
