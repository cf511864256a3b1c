#pragma once

#include <cstddef>
#include <optional>

#include "markdown/FontProperties.h"

namespace markdown {

// A length in units of the text size: em is the current scaled size, rem the unscaled base.
struct RelativeSize {
  enum class Unit { em, rem };

  double value = 0;
  Unit unit = Unit::rem;

  static RelativeSize em(double value) { return {value, Unit::em}; }
  static RelativeSize rem(double value) { return {value, Unit::rem}; }
  static const RelativeSize zero;

  // Whole points against a description (the default one when absent).
  double points(const std::optional<FontProperties>& relativeTo) const;
  double points(const FontProperties* relativeTo) const;

  bool operator==(const RelativeSize&) const = default;
  std::size_t hash() const;
};

inline constexpr RelativeSize RelativeSize::zero{0, RelativeSize::Unit::rem};

}  // namespace markdown

template <>
struct std::hash<markdown::RelativeSize> {
  std::size_t operator()(const markdown::RelativeSize& s) const { return s.hash(); }
};
