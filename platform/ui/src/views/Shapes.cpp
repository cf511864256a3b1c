#include "ui/Shapes.h"

#include <algorithm>

#include "ui/SystemEnvironment.h"
#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

class ShapeView final : public Primitive {
 public:
  enum class Mode { fill, stroke, strokeBorder };
  ShapeView(Shape shape, Mode mode, std::optional<Color> color, StrokeStyle style)
      : shape_(std::move(shape)), mode_(mode), color_(std::move(color)), style_(std::move(style)) {}
  std::string name() const override {
    switch (shape_.kind()) {
      case Shape::Kind::rectangle:
        return "Rectangle";
      case Shape::Kind::roundedRectangle:
        return "RoundedRectangle";
      case Shape::Kind::capsule:
        return "Capsule";
      case Shape::Kind::circle:
        return "Circle";
      case Shape::Kind::ellipse:
        return "Ellipse";
      case Shape::Kind::custom:
        return "Shape";
    }
    return "Shape";
  }
  std::string describe(const Node&) const override {
    return mode_ == Mode::fill ? "fill" : "stroke=" + fmt(style_.lineWidth);
  }
  Size sizeThatFits(Node&, ProposedSize p) const override {
    return {p.width.value_or(0), p.height.value_or(0)};
  }
  std::optional<Rect> ownInk(const Node& node) const override {
    const Rect outline = shape_.path(Rect{0, 0, node.size().width, node.size().height})
                             .boundingRect()
                             .united({0, 0, node.size().width, node.size().height});
    if (mode_ == Mode::fill) return outline;
    // Miter joins reach out up to the miter limit times half the line width.
    const double reach = style_.lineWidth / 2 * std::max(1.0, style_.miterLimit);
    return Rect{outline.x - reach, outline.y - reach, outline.width + 2 * reach,
                outline.height + 2 * reach};
  }
  void render(const Node& node, RenderContext& context) const override {
    const Rgba color =
        color_.value_or(resolvedForeground(node.environment())).resolve(context.scheme);
    Rect r = windowRect(node, context);
    if (mode_ == Mode::fill) {
      context.list.add(DisplayItem::FillPath{shape_.path(r), color});
      return;
    }
    if (mode_ == Mode::strokeBorder) r = r.insetBy(style_.lineWidth / 2, style_.lineWidth / 2);
    context.list.add(DisplayItem::StrokePath{shape_.path(r), color, style_});
  }

 private:
  Shape shape_;
  Mode mode_;
  std::optional<Color> color_;
  StrokeStyle style_;
};

class ColorFillView final : public Primitive {
 public:
  explicit ColorFillView(Color color) : color_(std::move(color)) {}
  std::string name() const override { return "Color"; }
  bool equals(const View& other) const override {
    auto* o = dynamic_cast<const ColorFillView*>(&other);
    return o && o->color_ == color_;
  }
  Size sizeThatFits(Node&, ProposedSize p) const override {
    return {p.width.value_or(0), p.height.value_or(0)};
  }
  void render(const Node& node, RenderContext& context) const override {
    const Rgba c = color_.resolve(context.scheme);
    if (c.alpha <= 0) return;
    context.list.add(DisplayItem::FillPath{Path::rect(windowRect(node, context)), c});
  }

 private:
  Color color_;
};

}  // namespace
}  // namespace detail

Shape Shape::roundedRectangle(double radius, CornerStyle style) {
  Shape s(Kind::roundedRectangle);
  s.radius_ = radius;
  s.style_ = style;
  return s;
}

Shape Shape::custom(std::function<Path(Rect)> outline) {
  Shape s(Kind::custom);
  s.custom_ = std::move(outline);
  return s;
}

Shape Shape::inset(double amount) const {
  Shape s = *this;
  s.inset_ += amount;
  return s;
}

Path Shape::path(Rect in) const {
  const Rect r = in.insetBy(inset_, inset_);
  switch (kind_) {
    case Kind::rectangle:
      return Path::rect(r);
    case Kind::roundedRectangle:
      return Path::roundedRect(r, radius_, style_);
    case Kind::capsule:
      return Path::roundedRect(r, std::min(r.width, r.height) / 2);
    case Kind::circle: {
      const double d = std::min(r.width, r.height);
      return Path::ellipse({r.midX() - d / 2, r.midY() - d / 2, d, d});
    }
    case Kind::ellipse:
      return Path::ellipse(r);
    case Kind::custom:
      return custom_ ? custom_(r) : Path();
  }
  return Path();
}

namespace {
AnyView shapeView(const Shape& s, detail::ShapeView::Mode m, const std::optional<Color>& c,
                  StrokeStyle style) {
  return AnyView(
      std::shared_ptr<const View>(std::make_shared<detail::ShapeView>(s, m, c, std::move(style))));
}
}  // namespace

AnyView Shape::fill(const std::optional<Color>& color) const {
  return shapeView(*this, detail::ShapeView::Mode::fill, color, {});
}
AnyView Shape::stroke(const std::optional<Color>& color, StrokeStyle style) const {
  return shapeView(*this, detail::ShapeView::Mode::stroke, color, std::move(style));
}
AnyView Shape::stroke(const std::optional<Color>& color, double lineWidth) const {
  StrokeStyle style;
  style.lineWidth = lineWidth;
  return stroke(color, style);
}
AnyView Shape::strokeBorder(const std::optional<Color>& color, double lineWidth) const {
  StrokeStyle style;
  style.lineWidth = lineWidth;
  return shapeView(*this, detail::ShapeView::Mode::strokeBorder, color, style);
}

AnyView ColorView(const Color& color) {
  return AnyView(std::shared_ptr<const View>(std::make_shared<detail::ColorFillView>(color)));
}

}  // namespace ui
