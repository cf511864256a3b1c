#pragma once

#include <cstddef>
#include <optional>

#include "ui/Color.h"

namespace ui {

// How an underline or strikethrough is drawn; no colour means the text's colour.
struct LineStyle {
  enum class Pattern { solid, dot, dash, dashDot, dashDotDot };

  Pattern pattern = Pattern::solid;
  std::optional<Color> color;

  static LineStyle single() { return {}; }

  bool operator==(const LineStyle&) const = default;
  std::size_t hash() const;
};

}  // namespace ui

template <>
struct std::hash<ui::LineStyle> {
  std::size_t operator()(const ui::LineStyle& s) const { return s.hash(); }
};
