#pragma once

#include "ui/View.h"

namespace ui {

enum class ScrollAxes { horizontal = 1, vertical = 2, both = 3 };

// Content proposed an unspecified length along the scrolled axes. Along them the view takes
// the proposal (the content's length when unspecified, never more); across them the content's.
// Clips; pointer-wheel events scroll it within the content's bounds.
AnyView ScrollView(ScrollAxes axes, bool showsIndicators, AnyView content);
inline AnyView ScrollView(AnyView content) {
  return ScrollView(ScrollAxes::vertical, true, std::move(content));
}

inline constexpr double kScrollIndicatorThickness = 3;

}  // namespace ui
