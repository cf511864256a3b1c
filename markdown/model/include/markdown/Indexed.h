#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "markdown/Hasher.h"

namespace markdown {

// An element together with its position, so that equal elements at different positions
// are different elements.
template <class Value>
struct Indexed {
  std::int64_t index = 0;
  Value value;

  // Deleted when `Value` has no equality.
  bool operator==(const Indexed&) const = default;
};

template <class Value>
requires requires(Hasher& hasher, const Value& value) {
  hashInto(hasher, value);
}
void hashInto(Hasher& hasher, const Indexed<Value>& indexed) {
  hasher.combine(static_cast<std::uint64_t>(indexed.index));
  hashInto(hasher, indexed.value);
}

}  // namespace markdown

template <class Value>
requires requires(markdown::Hasher& hasher, const Value& value) {
  hashInto(hasher, value);
}
struct std::hash<markdown::Indexed<Value>> {
  std::size_t operator()(const markdown::Indexed<Value>& value) const {
    return markdown::hashValue(value);
  }
};
