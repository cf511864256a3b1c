#include "ui/SymbolRegistry.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

Point operator+(Point a, Point b) {
  return {a.x + b.x, a.y + b.y};
}
Point operator-(Point a, Point b) {
  return {a.x - b.x, a.y - b.y};
}
Point operator*(Point a, double k) {
  return {a.x * k, a.y * k};
}
double dot(Point a, Point b) {
  return a.x * b.x + a.y * b.y;
}

Point unitNormal(Point from, Point to) {
  const Point d = to - from;
  const double length = std::hypot(d.x, d.y);
  return {-d.y / length, d.x / length};
}

// The outline of an open polyline stroked `width` wide with mitred joins and butt ends.
Path strokedPolyline(const std::vector<Point>& points, double width) {
  const double half = width / 2;
  std::vector<Point> left, right;
  for (std::size_t i = 0; i < points.size(); ++i) {
    Point offset;
    if (i == 0) {
      offset = unitNormal(points[0], points[1]) * half;
    } else if (i + 1 == points.size()) {
      offset = unitNormal(points[i - 1], points[i]) * half;
    } else {
      const Point n1 = unitNormal(points[i - 1], points[i]);
      const Point n2 = unitNormal(points[i], points[i + 1]);
      const Point sum = n1 + n2;
      const Point miter = sum * (1 / std::hypot(sum.x, sum.y));
      offset = miter * (half / dot(miter, n1));
    }
    left.push_back(points[i] + offset);
    right.push_back(points[i] - offset);
  }
  Path path;
  path.moveTo(left.front());
  for (std::size_t i = 1; i < left.size(); ++i) path.lineTo(left[i]);
  for (auto it = right.rbegin(); it != right.rend(); ++it) path.lineTo(*it);
  path.closeSubpath();
  return path;
}

// A filled ring between two outlines.
Path ring(const Path& outer, const Path& inner) {
  Path path = outer;
  path.addPath(inner);
  path.setFillRule(Path::FillRule::evenOdd);
  return path;
}

constexpr double kLine = 0.08;  // stroke weight of outlined symbols
const Rect kSquare{0.06, 0.06, 0.88, 0.88};
constexpr double kSquareRadius = 0.18;

Path squareFill() {
  return Path::roundedRect(kSquare, kSquareRadius);
}

Path squareOutline() {
  return ring(squareFill(),
              Path::roundedRect(kSquare.insetBy(kLine, kLine), kSquareRadius - kLine));
}

Path circleFill() {
  return Path::ellipse({0.04, 0.04, 0.92, 0.92});
}

Path circleOutline() {
  return ring(circleFill(), Path::ellipse({0.12, 0.12, 0.76, 0.76}));
}

Path checkmark() {
  return strokedPolyline({{0.16, 0.54}, {0.40, 0.78}, {0.86, 0.24}}, 0.12);
}

Path boxedCheckmark() {
  return strokedPolyline({{0.28, 0.52}, {0.44, 0.68}, {0.73, 0.34}}, 0.11);
}

Symbol documents() {
  const Rect front{0.36, 0.26, 0.56, 0.70};
  const Rect frontInner = front.insetBy(kLine, kLine);
  constexpr double kRadius = 0.1, kGap = 0.07;
  // The back page shows only where the front one does not cover it.
  const double backLeft = 0.08 + kLine / 2, backTop = 0.04 + kLine / 2;
  const double backRight = 0.64 - kLine / 2, backBottom = 0.74 - kLine / 2;
  Path back = strokedPolyline({{front.minX() - kGap, backBottom},
                               {backLeft, backBottom},
                               {backLeft, backTop},
                               {backRight, backTop},
                               {backRight, front.minY() - kGap}},
                              kLine);
  Path page = ring(Path::roundedRect(front, kRadius), Path::roundedRect(frontInner, kRadius / 2));
  return {"doc.on.doc",
          1,
          {{std::move(back), SymbolLayer::Role::secondary, true},
           {std::move(page), SymbolLayer::Role::primary, true}}};
}

Symbol checkedSquare() {
  // Monochrome rendering cuts the mark out of the square; hierarchical rendering paints the
  // square in the secondary colour and the mark over it in the primary one.
  Path square = squareFill();
  square.addPath(boxedCheckmark());
  square.setFillRule(Path::FillRule::evenOdd);
  return {"checkmark.square.fill",
          1,
          {{std::move(square), SymbolLayer::Role::secondary, true},
           {boxedCheckmark(), SymbolLayer::Role::primary, false}}};
}

}  // namespace

SymbolRegistry::SymbolRegistry() {
  using Role = SymbolLayer::Role;
  symbols_.push_back(documents());
  symbols_.push_back({"checkmark", 1, {{checkmark(), Role::primary, true}}});
  symbols_.push_back({"circle", 1, {{circleOutline(), Role::primary, true}}});
  symbols_.push_back({"circle.fill", 1, {{circleFill(), Role::primary, true}}});
  symbols_.push_back({"square", 1, {{squareOutline(), Role::primary, true}}});
  symbols_.push_back({"square.fill", 1, {{squareFill(), Role::primary, true}}});
  symbols_.push_back(checkedSquare());
  std::sort(symbols_.begin(), symbols_.end(),
            [](const Symbol& a, const Symbol& b) { return a.name < b.name; });
}

const SymbolRegistry& SymbolRegistry::shared() {
  static const SymbolRegistry registry;
  return registry;
}

const Symbol* SymbolRegistry::find(std::string_view name) const {
  auto it = std::lower_bound(symbols_.begin(), symbols_.end(), name,
                             [](const Symbol& s, std::string_view n) { return s.name < n; });
  return it != symbols_.end() && it->name == name ? &*it : nullptr;
}

std::vector<std::string> SymbolRegistry::names() const {
  std::vector<std::string> names;
  for (const Symbol& s : symbols_) names.push_back(s.name);
  return names;
}

Color symbolLayerColor(SymbolLayer::Role role, SymbolRenderingMode mode, const Color& primary,
                       const std::optional<Color>& secondary) {
  if (mode == SymbolRenderingMode::monochrome || role == SymbolLayer::Role::primary) {
    return primary;
  }
  return secondary ? *secondary : primary.opacity(kHierarchicalSecondaryOpacity);
}

}  // namespace ui
