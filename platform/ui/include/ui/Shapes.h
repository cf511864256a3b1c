#pragma once

#include <functional>
#include <optional>

#include "ui/Color.h"
#include "ui/Path.h"
#include "ui/StrokeStyle.h"
#include "ui/View.h"

namespace ui {

// A shape as a value: it makes its outline in any rectangle. As a view it is flexible: it
// takes the size proposed (nothing when unspecified) and fills or strokes it.
class Shape {
 public:
  enum class Kind { rectangle, roundedRectangle, capsule, circle, ellipse, custom };

  static Shape rectangle() { return Shape(Kind::rectangle); }
  static Shape roundedRectangle(double radius, CornerStyle style = CornerStyle::circular);
  static Shape capsule() { return Shape(Kind::capsule); }
  static Shape circle() { return Shape(Kind::circle); }
  static Shape ellipse() { return Shape(Kind::ellipse); }
  static Shape custom(std::function<Path(Rect)> outline);

  // Insets the outline on every side.
  Shape inset(double amount) const;
  Path path(Rect in) const;

  // Filled with a colour; without one, with the foreground colour.
  AnyView fill(const std::optional<Color>& color = std::nullopt) const;
  AnyView stroke(const std::optional<Color>& color, StrokeStyle style = {}) const;
  AnyView stroke(const std::optional<Color>& color, double lineWidth) const;
  // A stroke inset by half its width, so it stays inside the bounds.
  AnyView strokeBorder(const std::optional<Color>& color, double lineWidth = 1) const;
  operator AnyView() const {
    return fill();
  }  // NOLINT: a shape is a view filled with the foreground

  Kind kind() const { return kind_; }

 private:
  explicit Shape(Kind kind) : kind_(kind) {}
  Kind kind_;
  double radius_ = 0;
  CornerStyle style_ = CornerStyle::circular;
  double inset_ = 0;
  std::function<Path(Rect)> custom_;
};

inline Shape Rectangle() {
  return Shape::rectangle();
}
inline Shape RoundedRectangle(double radius, CornerStyle style = CornerStyle::circular) {
  return Shape::roundedRectangle(radius, style);
}
inline Shape Circle() {
  return Shape::circle();
}
inline Shape Capsule() {
  return Shape::capsule();
}
inline Shape Ellipse() {
  return Shape::ellipse();
}

// A colour as a view: fills whatever it is proposed.
AnyView ColorView(const Color& color);

}  // namespace ui
