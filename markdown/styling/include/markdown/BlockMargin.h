#pragma once

#include <optional>

#include "markdown/RelativeSize.h"
#include "ui/View.h"

namespace markdown {

// Space a block wants above and below it, in points; absent when it does not ask.
struct BlockMargin {
  std::optional<double> top, bottom;

  // Each side becomes the largest of the set values; absent only when both are.
  void merge(std::optional<double> top, std::optional<double> bottom);

  bool operator==(const BlockMargin&) const = default;
};

struct BlockMarginsPreference {
  using Value = BlockMargin;
  static Value defaultValue() { return {}; }
  static void reduce(Value& value, const Value& next) { value.merge(next.top, next.bottom); }
};

// Reports margins to the enclosing block sequence; the view itself is unchanged.
ui::AnyView markdownMargin(const ui::AnyView& view, std::optional<double> top,
                           std::optional<double> bottom);
// Resolved against the text style in force where the modifier stands.
ui::AnyView markdownMargin(const ui::AnyView& view, std::optional<RelativeSize> top,
                           std::optional<RelativeSize> bottom);

}  // namespace markdown
