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

// A circular arc from `fromDegrees` to `toDegrees` (counter-clockwise, y up) as points.
std::vector<Point> arc(Point centre, double radius, double fromDegrees, double toDegrees) {
  constexpr double kPi = 3.14159265358979323846;
  constexpr int kSteps = 24;
  std::vector<Point> points;
  for (int i = 0; i <= kSteps; ++i) {
    const double a = (fromDegrees + (toDegrees - fromDegrees) * i / kSteps) * kPi / 180;
    points.push_back({centre.x + radius * std::cos(a), centre.y - radius * std::sin(a)});
  }
  return points;
}

Symbol clock() {
  Path hands = strokedPolyline({{0.5, 0.24}, {0.5, 0.5}, {0.68, 0.62}}, kLine);
  return {"clock",
          1,
          {{circleOutline(), SymbolLayer::Role::primary, true},
           {std::move(hands), SymbolLayer::Role::primary, true}}};
}

Symbol raisedHand() {
  // Palm, four fingers and the thumb, each filled on its own so their overlaps stay filled.
  std::vector<SymbolLayer> layers;
  auto add = [&](Path path) {
    layers.push_back({std::move(path), SymbolLayer::Role::primary, true});
  };
  add(Path::roundedRect({0.24, 0.42, 0.54, 0.54}, 0.2));
  const double tops[] = {0.16, 0.05, 0.09, 0.2};
  for (int i = 0; i < 4; ++i)
    add(Path::roundedRect({0.25 + 0.135 * i, tops[i], 0.115, 0.6 - tops[i]}, 0.0575));
  add(strokedPolyline({{0.33, 0.74}, {0.2, 0.56}, {0.12, 0.5}}, 0.12));
  return {"hand.raised", 1, std::move(layers)};
}

Symbol appWithCheckedBadge() {
  const Rect app{0.06, 0.2, 0.72, 0.74};
  Path frame = ring(Path::roundedRect(app, kSquareRadius),
                    Path::roundedRect(app.insetBy(kLine, kLine), kSquareRadius - kLine));
  Path badge = Path::ellipse({0.56, 0.02, 0.42, 0.42});
  badge.addPath(strokedPolyline({{0.66, 0.23}, {0.74, 0.31}, {0.88, 0.14}}, 0.07));
  badge.setFillRule(Path::FillRule::evenOdd);
  return {"app.badge.checkmark",
          1,
          {{std::move(frame), SymbolLayer::Role::primary, true},
           {std::move(badge), SymbolLayer::Role::primary, true}}};
}

Symbol shiftArrow() {
  Path arrow;
  arrow.moveTo({0.5, 0.06});
  for (Point p : std::vector<Point>{
           {0.94, 0.52}, {0.7, 0.52}, {0.7, 0.92}, {0.3, 0.92}, {0.3, 0.52}, {0.06, 0.52}})
    arrow.lineTo(p);
  arrow.closeSubpath();
  return {"shift.fill", 1, {{std::move(arrow), SymbolLayer::Role::primary, true}}};
}

// A filled key with a capital letter cut out of it. The letter's strokes only touch, never
// overlap, so the even-odd rule cuts each of them out whole.
constexpr double kLetterLine = 0.11;
Symbol letterKey(char letter) {
  constexpr double h = kLetterLine / 2;
  std::vector<std::vector<Point>> strokes;
  switch (letter) {
    case 'c':
      strokes = {arc({0.52, 0.5}, 0.22, 45, 315)};
      break;
    case 'r':
      strokes = {{{0.36, 0.24 - h}, {0.36, 0.77}},
                 {{0.36 + h, 0.27},
                  {0.56, 0.27},
                  {0.64, 0.34},
                  {0.64, 0.44},
                  {0.56, 0.51},
                  {0.36 + h, 0.51}},
                 {{0.52, 0.51 + h}, {0.67, 0.77}}};
      break;
    case 'm':
      strokes = {{{0.29, 0.77}, {0.29, 0.28}, {0.5, 0.6}, {0.71, 0.28}, {0.71, 0.77}}};
      break;
    case 'h':
      strokes = {{{0.33, 0.23}, {0.33, 0.77}},
                 {{0.67, 0.23}, {0.67, 0.77}},
                 {{0.33 + h, 0.5}, {0.67 - h, 0.5}}};
      break;
    default:
      break;
  }
  Path key = squareFill();
  for (const auto& stroke : strokes) key.addPath(strokedPolyline(stroke, kLetterLine));
  key.setFillRule(Path::FillRule::evenOdd);
  return {std::string(1, letter) + ".square.fill",
          1,
          {{std::move(key), SymbolLayer::Role::primary, true}}};
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
  symbols_.push_back(clock());
  symbols_.push_back(raisedHand());
  symbols_.push_back(appWithCheckedBadge());
  symbols_.push_back(shiftArrow());
  for (char letter : {'c', 'r', 'm', 'h'}) symbols_.push_back(letterKey(letter));
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
