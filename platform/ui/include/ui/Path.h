#pragma once

#include <array>
#include <vector>

#include "ui/Geometry.h"

namespace ui {

enum class CornerStyle { circular, continuous };

// An outline made of subpaths of straight and Bézier segments, in points, y downwards.
class Path {
 public:
  enum class FillRule { nonZero, evenOdd };

  struct Element {
    enum class Kind { move, line, quad, cubic, close };
    Kind kind = Kind::move;
    std::array<Point, 3> points{};  // move/line: [0]; quad: control [0], end [1];
                                    // cubic: controls [0], [1], end [2]; close: none
    bool operator==(const Element&) const = default;
  };

  Path() = default;
  static Path rect(Rect r);
  static Path roundedRect(Rect r, double cornerRadius, CornerStyle style = CornerStyle::circular);
  static Path ellipse(Rect r);

  void moveTo(Point p);
  // A segment without a current point starts a subpath at its end.
  void lineTo(Point p);
  void quadTo(Point control, Point end);
  void cubicTo(Point control1, Point control2, Point end);
  void closeSubpath();

  void addRect(Rect r);
  // The radius is clamped to half the shorter side; a continuous corner starts its curve
  // further along each edge so the curvature rises gradually.
  void addRoundedRect(Rect r, double cornerRadius, CornerStyle style = CornerStyle::circular);
  void addEllipse(Rect r);
  void addPath(const Path& other);

  FillRule fillRule() const { return fillRule_; }
  void setFillRule(FillRule rule) { fillRule_ = rule; }

  const std::vector<Element>& elements() const { return elements_; }
  bool isEmpty() const { return elements_.empty(); }
  // The tight bounds of the outline (curve extrema included, control points not); a null
  // rect at the origin for an empty path.
  Rect boundingRect() const;

  // Each point p becomes (p.x * sx + dx, p.y * sy + dy).
  Path transformed(double sx, double sy, double dx, double dy) const;
  Path scaled(double sx, double sy) const { return transformed(sx, sy, 0, 0); }
  Path translated(double dx, double dy) const { return transformed(1, 1, dx, dy); }

  bool operator==(const Path&) const = default;

 private:
  std::vector<Element> elements_;
  FillRule fillRule_ = FillRule::nonZero;
  bool hasCurrentPoint_ = false;
  Point subpathStart_;
};

}  // namespace ui
