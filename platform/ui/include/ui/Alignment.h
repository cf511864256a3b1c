#pragma once

#include <cstdint>
#include <limits>

namespace ui {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

enum class Axis { horizontal, vertical };

enum class HAlign { leading, center, trailing };
// `firstTextBaseline` and `firstLineCenter` align views by their first line of text (labels
// and list markers); views without text use their bottom and their centre.
enum class VAlign { top, center, bottom, firstTextBaseline, firstLineCenter };

struct Alignment {
  HAlign h = HAlign::center;
  VAlign v = VAlign::center;
  bool operator==(const Alignment&) const = default;

  static const Alignment topLeading, top, topTrailing, leading, center, trailing, bottomLeading,
      bottom, bottomTrailing;
};
inline constexpr Alignment Alignment::topLeading{HAlign::leading, VAlign::top};
inline constexpr Alignment Alignment::top{HAlign::center, VAlign::top};
inline constexpr Alignment Alignment::topTrailing{HAlign::trailing, VAlign::top};
inline constexpr Alignment Alignment::leading{HAlign::leading, VAlign::center};
inline constexpr Alignment Alignment::center{HAlign::center, VAlign::center};
inline constexpr Alignment Alignment::trailing{HAlign::trailing, VAlign::center};
inline constexpr Alignment Alignment::bottomLeading{HAlign::leading, VAlign::bottom};
inline constexpr Alignment Alignment::bottom{HAlign::center, VAlign::bottom};
inline constexpr Alignment Alignment::bottomTrailing{HAlign::trailing, VAlign::bottom};

// A point in unit coordinates of a rectangle: (0, 0) top-leading, (1, 1) bottom-trailing.
struct UnitPoint {
  double x = 0, y = 0;
  bool operator==(const UnitPoint&) const = default;
  static const UnitPoint topLeading, top, topTrailing, leading, center, trailing, bottomLeading,
      bottom, bottomTrailing;
};
inline constexpr UnitPoint UnitPoint::topLeading{0, 0};
inline constexpr UnitPoint UnitPoint::top{0.5, 0};
inline constexpr UnitPoint UnitPoint::topTrailing{1, 0};
inline constexpr UnitPoint UnitPoint::leading{0, 0.5};
inline constexpr UnitPoint UnitPoint::center{0.5, 0.5};
inline constexpr UnitPoint UnitPoint::trailing{1, 0.5};
inline constexpr UnitPoint UnitPoint::bottomLeading{0, 1};
inline constexpr UnitPoint UnitPoint::bottom{0.5, 1};
inline constexpr UnitPoint UnitPoint::bottomTrailing{1, 1};

enum class Edge : std::uint8_t { top = 1, leading = 2, bottom = 4, trailing = 8 };

struct EdgeSet {
  std::uint8_t bits = 0;
  constexpr EdgeSet() = default;
  constexpr EdgeSet(Edge e) : bits(static_cast<std::uint8_t>(e)) {}  // NOLINT: one edge is a set
  constexpr explicit EdgeSet(std::uint8_t b) : bits(b) {}
  constexpr bool contains(Edge e) const { return bits & static_cast<std::uint8_t>(e); }
  constexpr EdgeSet operator|(EdgeSet o) const { return EdgeSet(std::uint8_t(bits | o.bits)); }
  constexpr bool operator==(const EdgeSet&) const = default;
  static constexpr EdgeSet all() { return EdgeSet(std::uint8_t{15}); }
  static constexpr EdgeSet horizontal() { return EdgeSet(std::uint8_t{10}); }
  static constexpr EdgeSet vertical() { return EdgeSet(std::uint8_t{5}); }
};
constexpr EdgeSet operator|(Edge a, Edge b) {
  return EdgeSet(a) | EdgeSet(b);
}

// Platform metrics the layer picks where the platform would.
inline constexpr double kDefaultPadding = 16;  // `.padding()` and `.padding(edge)` with no length
inline constexpr double kDefaultSpacing = 8;   // stacks given no spacing
inline constexpr double kLabelSpacing = 6;     // between a label's icon and its title
inline constexpr double kDividerThickness = 1;
inline constexpr double kButtonHorizontalPadding = 8;  // automatic button bezel insets
inline constexpr double kButtonVerticalPadding = 3;
inline constexpr double kButtonCornerRadius = 5;
inline constexpr double kPlainButtonPressedOpacity = 0.5;
inline constexpr double kDisabledControlOpacity = 0.4;  // disabled buttons and toggles
inline constexpr double kToggleBoxSize = 14;
// The ring around a focused `.focusable` view: its width and how far it stands outside.
inline constexpr double kFocusRingWidth = 2;
inline constexpr double kFocusRingOutset = 2;
inline constexpr int kMaxFramePasses = 4;  // build-layout-preference passes per frame

}  // namespace ui
