#include "ui/Path.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

namespace {

// Control distance of a cubic quarter circle, relative to the radius.
constexpr double kKappa = 0.5522847498307936;
// A continuous corner starts this many radii before the corner...
constexpr double kContinuousExtent = 1.528665;
// ...with its controls this fraction of that extent from the corner, which puts the curve's
// middle where a circular corner's is.
constexpr double kContinuousHandle = 0.1776;

Point lerp(Point a, Point b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

class Bounds {
 public:
  void add(Point p) {
    minX_ = std::min(minX_, p.x);
    minY_ = std::min(minY_, p.y);
    maxX_ = std::max(maxX_, p.x);
    maxY_ = std::max(maxY_, p.y);
  }
  Rect rect() const {
    if (minX_ > maxX_) return {};
    return {minX_, minY_, maxX_ - minX_, maxY_ - minY_};
  }

 private:
  double minX_ = std::numeric_limits<double>::infinity(), minY_ = minX_;
  double maxX_ = -std::numeric_limits<double>::infinity(), maxY_ = maxX_;
};

Point quadAt(Point p0, Point p1, Point p2, double t) {
  return lerp(lerp(p0, p1, t), lerp(p1, p2, t), t);
}

Point cubicAt(Point p0, Point p1, Point p2, Point p3, double t) {
  return quadAt(lerp(p0, p1, t), lerp(p1, p2, t), lerp(p2, p3, t), t);
}

// Parameters in (0, 1) where one coordinate of a cubic has zero derivative.
std::vector<double> cubicExtrema(double a, double b, double c, double d) {
  // The derivative, divided by 3: qa t² + qb t + qc.
  const double qa = -a + 3 * b - 3 * c + d;
  const double qb = 2 * (a - 2 * b + c);
  const double qc = b - a;
  std::vector<double> roots;
  constexpr double kFlat = 1e-12;
  if (std::abs(qa) < kFlat) {
    if (std::abs(qb) >= kFlat) roots.push_back(-qc / qb);
  } else {
    const double discriminant = qb * qb - 4 * qa * qc;
    if (discriminant >= 0) {
      const double s = std::sqrt(discriminant);
      roots.push_back((-qb + s) / (2 * qa));
      roots.push_back((-qb - s) / (2 * qa));
    }
  }
  std::erase_if(roots, [](double t) { return !(t > 0 && t < 1); });
  return roots;
}

}  // namespace

Path Path::rect(Rect r) {
  Path p;
  p.addRect(r);
  return p;
}

Path Path::roundedRect(Rect r, double cornerRadius, CornerStyle style) {
  Path p;
  p.addRoundedRect(r, cornerRadius, style);
  return p;
}

Path Path::ellipse(Rect r) {
  Path p;
  p.addEllipse(r);
  return p;
}

void Path::moveTo(Point p) {
  elements_.push_back({Element::Kind::move, {p}});
  hasCurrentPoint_ = true;
  subpathStart_ = p;
}

void Path::lineTo(Point p) {
  if (!hasCurrentPoint_) return moveTo(p);
  elements_.push_back({Element::Kind::line, {p}});
}

void Path::quadTo(Point control, Point end) {
  if (!hasCurrentPoint_) return moveTo(end);
  elements_.push_back({Element::Kind::quad, {control, end}});
}

void Path::cubicTo(Point control1, Point control2, Point end) {
  if (!hasCurrentPoint_) return moveTo(end);
  elements_.push_back({Element::Kind::cubic, {control1, control2, end}});
}

void Path::closeSubpath() {
  if (!hasCurrentPoint_ || elements_.back().kind == Element::Kind::close) return;
  elements_.push_back({Element::Kind::close, {}});
}

void Path::addRect(Rect r) {
  moveTo({r.minX(), r.minY()});
  lineTo({r.maxX(), r.minY()});
  lineTo({r.maxX(), r.maxY()});
  lineTo({r.minX(), r.maxY()});
  closeSubpath();
}

void Path::addRoundedRect(Rect r, double cornerRadius, CornerStyle style) {
  const double half = std::max(0.0, std::min(std::abs(r.width), std::abs(r.height)) / 2);
  double radius = std::isfinite(cornerRadius) ? std::clamp(cornerRadius, 0.0, half) : 0;
  if (radius <= 0) return addRect(r);
  // How far along each edge the corner reaches, and where its controls lie, from the corner.
  double extent = radius, handle = radius * (1 - kKappa);
  if (style == CornerStyle::continuous) {
    extent = std::min(radius * kContinuousExtent, half);
    handle = extent * kContinuousHandle;
  }
  const double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
  moveTo({x0 + extent, y0});
  lineTo({x1 - extent, y0});
  cubicTo({x1 - handle, y0}, {x1, y0 + handle}, {x1, y0 + extent});
  lineTo({x1, y1 - extent});
  cubicTo({x1, y1 - handle}, {x1 - handle, y1}, {x1 - extent, y1});
  lineTo({x0 + extent, y1});
  cubicTo({x0 + handle, y1}, {x0, y1 - handle}, {x0, y1 - extent});
  lineTo({x0, y0 + extent});
  cubicTo({x0, y0 + handle}, {x0 + handle, y0}, {x0 + extent, y0});
  closeSubpath();
}

void Path::addEllipse(Rect r) {
  const double cx = r.midX(), cy = r.midY(), rx = r.width / 2, ry = r.height / 2;
  const double kx = rx * kKappa, ky = ry * kKappa;
  moveTo({cx + rx, cy});
  cubicTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
  cubicTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
  cubicTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
  cubicTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
  closeSubpath();
}

void Path::addPath(const Path& other) {
  elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
  if (other.hasCurrentPoint_) {
    hasCurrentPoint_ = true;
    subpathStart_ = other.subpathStart_;
  }
}

Rect Path::boundingRect() const {
  Bounds bounds;
  Point current, start;
  for (const Element& e : elements_) {
    switch (e.kind) {
      case Element::Kind::move:
        current = start = e.points[0];
        bounds.add(current);
        break;
      case Element::Kind::line:
        current = e.points[0];
        bounds.add(current);
        break;
      case Element::Kind::quad: {
        const Point p1 = e.points[0], p2 = e.points[1];
        for (auto [a, b, c] :
             {std::array{current.x, p1.x, p2.x}, std::array{current.y, p1.y, p2.y}}) {
          const double denominator = a - 2 * b + c;
          if (denominator == 0) continue;
          const double t = (a - b) / denominator;
          if (t > 0 && t < 1) bounds.add(quadAt(current, p1, p2, t));
        }
        current = p2;
        bounds.add(current);
        break;
      }
      case Element::Kind::cubic: {
        const Point p1 = e.points[0], p2 = e.points[1], p3 = e.points[2];
        for (double t : cubicExtrema(current.x, p1.x, p2.x, p3.x)) {
          bounds.add(cubicAt(current, p1, p2, p3, t));
        }
        for (double t : cubicExtrema(current.y, p1.y, p2.y, p3.y)) {
          bounds.add(cubicAt(current, p1, p2, p3, t));
        }
        current = p3;
        bounds.add(current);
        break;
      }
      case Element::Kind::close:
        current = start;
        break;
    }
  }
  return bounds.rect();
}

Path Path::transformed(double sx, double sy, double dx, double dy) const {
  Path result = *this;
  auto map = [&](Point p) { return Point{p.x * sx + dx, p.y * sy + dy}; };
  for (Element& e : result.elements_) {
    const int used = e.kind == Element::Kind::close   ? 0
                     : e.kind == Element::Kind::quad  ? 2
                     : e.kind == Element::Kind::cubic ? 3
                                                      : 1;
    for (int i = 0; i < used; ++i) e.points[i] = map(e.points[i]);
  }
  result.subpathStart_ = map(subpathStart_);
  return result;
}

}  // namespace ui
