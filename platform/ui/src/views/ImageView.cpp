#include "ui/ImageView.h"

#include "ui/SymbolRegistry.h"
#include "ui/SystemEnvironment.h"
#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

class ImageLeaf final : public Primitive {
 public:
  explicit ImageLeaf(Image image) : image_(std::move(image)) {}
  std::string name() const override { return "Image"; }
  std::string describe(const Node&) const override {
    switch (image_.kind()) {
      case Image::Kind::symbol:
        return "symbol=" + image_.symbolName();
      case Image::Kind::file:
        return "file=" + image_.filePath().filename().string();
      case Image::Kind::bitmap:
        return image_.isResizable() ? "bitmap resizable" : "bitmap";
    }
    return {};
  }
  bool equals(const View& other) const override {
    auto* o = dynamic_cast<const ImageLeaf*>(&other);
    return o && o->image_ == image_ && o->image_.isResizable() == image_.isResizable();
  }
  AccessibilityTraits accessibilityTraits(const Node&) const override {
    return {.role = AccessibilityRole::image, .needsLabel = true};
  }
  Size natural(const Node& node) const {
    const auto& env = node.environment();
    return image_.naturalSize(resolvedEnvironmentFont(env).resolved().size,
                              env.get<ImageScaleKey>());
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    const Size n = natural(node);
    if (!image_.isResizable()) return n;
    return {p.width.value_or(n.width), p.height.value_or(n.height)};
  }
  // A symbol's layers may reach past its box.
  std::optional<Rect> ownInk(const Node& node) const override {
    const Rect r{0, 0, node.size().width, node.size().height};
    const Symbol* symbol =
        image_.kind() == Image::Kind::symbol ? image_.symbolDefinition() : nullptr;
    if (!symbol || r.height <= 0) return r;
    Rect ink = r;
    for (const auto& layer : symbol->layers)
      ink = ink.united(
          layer.path.transformed(r.width / symbol->aspectRatio, r.height, 0, 0).boundingRect());
    return ink;
  }
  void render(const Node& node, RenderContext& context) const override {
    const Rect r = windowRect(node, context);
    const auto& env = node.environment();
    const Color foreground = resolvedForeground(env);
    if (image_.kind() != Image::Kind::symbol) {
      context.list.add(DisplayItem::DrawImage{image_, r, std::nullopt});
      return;
    }
    const Symbol* symbol = image_.symbolDefinition();
    if (!symbol || r.height <= 0) return;
    const auto mode = env.get<SymbolRenderingModeKey>();
    const double sx = r.width / symbol->aspectRatio, sy = r.height;
    for (const auto& layer : symbol->layers) {
      // Monochrome rendering leaves cut-out marks undrawn.
      if (mode == SymbolRenderingMode::monochrome && !layer.drawnInMonochrome) continue;
      const Color c =
          symbolLayerColor(layer.role, mode, foreground, env.get<SecondaryForegroundColorKey>());
      context.list.add(DisplayItem::FillPath{layer.path.transformed(sx, sy, r.x, r.y),
                                             c.resolve(context.scheme)});
    }
  }

 private:
  Image image_;
};

}  // namespace
}  // namespace detail

AnyView ImageView(Image image) {
  return AnyView(
      std::shared_ptr<const View>(std::make_shared<detail::ImageLeaf>(std::move(image))));
}

}  // namespace ui
