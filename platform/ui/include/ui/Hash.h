#pragma once

#include <cstddef>
#include <functional>

namespace ui {

// Mixes the hash of `value` into `seed`; feeding the same values in the same order gives the
// same result.
template <class T>
void hashCombine(std::size_t& seed, const T& value) {
  seed ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace ui
