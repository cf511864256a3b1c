#pragma once

#include <algorithm>
#include <cmath>
#include <optional>

namespace ui {

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  double midX() const { return x + width / 2; }
  double midY() const { return y + height / 2; }
  Point origin() const { return {x, y}; }
  Size size() const { return {width, height}; }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  bool contains(Point p) const { return p.x >= x && p.y >= y && p.x < maxX() && p.y < maxY(); }
  Rect offsetBy(double dx, double dy) const { return {x + dx, y + dy, width, height}; }
  Rect insetBy(double dx, double dy) const {
    return {x + dx, y + dy, std::max(0.0, width - 2 * dx), std::max(0.0, height - 2 * dy)};
  }
  Rect united(const Rect& o) const {
    const double nx = std::min(x, o.x), ny = std::min(y, o.y);
    return {nx, ny, std::max(maxX(), o.maxX()) - nx, std::max(maxY(), o.maxY()) - ny};
  }
  bool operator==(const Rect&) const = default;
};

// A size proposed by a parent; an absent dimension asks for the child's ideal size.
struct ProposedSize {
  std::optional<double> width, height;

  static ProposedSize unspecified() { return {}; }
  static ProposedSize of(Size s) { return {s.width, s.height}; }
  bool operator==(const ProposedSize&) const = default;
};

struct EdgeInsets {
  double top = 0, leading = 0, bottom = 0, trailing = 0;
  bool operator==(const EdgeInsets&) const = default;
};

}  // namespace ui
