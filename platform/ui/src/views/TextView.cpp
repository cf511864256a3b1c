#include <algorithm>

#include "ui/FakeTextMeasurer.h"
#include "ui/SystemEnvironment.h"
#include "ui/TextValue.h"
#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

TextLayoutDefaults defaultsOf(const Environment& env) {
  TextLayoutDefaults d;
  d.font = resolvedEnvironmentFont(env);
  d.lineSpacing = env.get<LineSpacingKey>();
  d.alignment = env.get<MultilineTextAlignmentKey>();
  d.imageScale = env.get<ImageScaleKey>();
  return d;
}

// Laid-out text by proposed width, so measuring and placing share one layout.
struct TextLayouts {
  struct Entry {
    std::optional<double> width;
    TextLayout layout;
  };
  std::vector<Entry> entries;
  // The layout drawn, kept apart: measuring at other widths must not evict it.
  std::optional<TextLayout> placed;
};

class TextView final : public Primitive {
 public:
  explicit TextView(Text text) : text_(std::move(text)) {}
  std::string name() const override { return "Text"; }
  std::string describe(const Node&) const override {
    std::string s = text_.plainText();
    if (s.size() > 40) s = s.substr(0, 37) + "...";
    return "\"" + s + "\"";
  }
  bool equals(const View& other) const override {
    auto* o = dynamic_cast<const TextView*>(&other);
    return o && o->text_ == text_;
  }
  void didUpdate(Node& node) const override {
    auto& cache = node.local<TextLayouts>();
    cache.entries.clear();
    cache.placed.reset();
  }

  const TextLayout& layoutFor(Node& node, std::optional<double> width) const {
    auto& cache = node.local<TextLayouts>();
    for (const auto& e : cache.entries)
      if (e.width == width) return e.layout;
    if (cache.entries.size() >= 4) cache.entries.erase(cache.entries.begin());
    const auto& measurer = node.environment().get<TextMeasurerKey>();
    cache.entries.push_back(
        {width, measurer->layout(text_, defaultsOf(node.environment()), width)});
    return cache.entries.back().layout;
  }
  const TextLayout* placed(const Node& node) const {
    auto* cache = node.localIfAny<TextLayouts>();
    return cache && cache->placed ? &*cache->placed : nullptr;
  }

  Size sizeThatFits(Node& node, ProposedSize p) const override {
    return layoutFor(node, p.width).size;
  }
  void placeChildren(Node& node, Size, ProposedSize p) const override {
    node.local<TextLayouts>().placed = layoutFor(node, p.width);
  }
  double guide(const Node& node, VAlign g) const override {
    const TextLayout* layout = placed(node);
    if (!layout || layout->lines.empty()) return Primitive::guide(node, g);
    if (g == VAlign::firstTextBaseline) return layout->firstBaseline;
    if (g == VAlign::firstLineCenter) return layout->lines.front().frame.midY();
    return Primitive::guide(node, g);
  }

  void render(const Node& node, RenderContext& context) const override {
    const TextLayout* layout = placed(node);
    if (!layout) return;
    const Rect box = windowRect(node, context);
    const auto& runs = flat().runs;
    const std::string& plain = flat().plain;
    const Color foreground = resolvedForeground(node.environment());
    const Color tint = node.environment().get<TintKey>();
    for (const auto& f : layout->fragments) {
      if (f.run >= runs.size()) continue;
      const auto& run = runs[f.run];
      const Rect frame = f.frame.offsetBy(box.x, box.y);
      const auto& a = run.attributes;
      const Color color = a.foregroundColor.value_or(a.link ? tint : foreground);
      if (run.image) {
        // Symbols take the text's colour; pictures keep their own.
        std::optional<Rgba> tint;
        if (run.image->kind() == Image::Kind::symbol) tint = color.resolve(context.scheme);
        context.list.add(DisplayItem::DrawImage{*run.image, frame, tint});
        continue;
      }
      DisplayItem::TextRun item;
      item.text = plain.substr(f.begin, f.end - f.begin);
      item.font = f.font;
      item.color = color.resolve(context.scheme);
      item.frame = frame;
      item.baseline = box.y + f.baseline;
      if (a.backgroundColor) item.background = a.backgroundColor->resolve(context.scheme);
      auto decoration = [&](const std::optional<LineStyle>& style) {
        std::optional<DisplayItem::Decoration> d;
        if (style)
          d = DisplayItem::Decoration{style->pattern,
                                      style->color.value_or(color).resolve(context.scheme)};
        return d;
      };
      item.underline = decoration(a.underlineStyle);
      item.strikethrough = decoration(a.strikethroughStyle);
      item.kern = a.kern.value_or(0);
      item.tracking = a.tracking.value_or(0);
      context.list.add(std::move(item));
    }
  }

  // Links take clicks; the environment's open-URL action opens them.
  bool takesPointer(const Node&) const override {
    for (const auto& r : flat().runs)
      if (r.attributes.link) return true;
    return false;
  }
  std::optional<std::size_t> linkAt(const Node& node, Point local) const {
    const TextLayout* layout = placed(node);
    if (!layout) return std::nullopt;
    const auto run = layout->runAt(local);
    const auto& runs = flat().runs;
    if (run && *run < runs.size() && runs[*run].attributes.link) return run;
    return std::nullopt;
  }
  std::optional<CursorShape> cursor(const Node& node, Point local) const override {
    if (linkAt(node, local)) return CursorShape::pointingHand;
    return std::nullopt;
  }
  void pointer(Node& node, PointerPhase phase, const PointerEvent& event,
               bool inside) const override {
    if (phase != PointerPhase::released || !inside) return;
    const TextLayout* layout = placed(node);
    if (!layout) return;
    const auto run = layout->runAt(event.location);
    if (!run) return;
    const auto& runs = flat().runs;
    if (*run < runs.size() && runs[*run].attributes.link)
      node.environment().get<OpenURLKey>()(*runs[*run].attributes.link);
  }

 private:
  // The runs and characters, worked out once: every frame draws every text again.
  struct Flattened {
    std::vector<Text::Run> runs;
    std::string plain;
  };
  const Flattened& flat() const {
    if (!flat_)
      flat_ = std::make_shared<const Flattened>(Flattened{text_.runs(), text_.plainText()});
    return *flat_;
  }

  Text text_;
  mutable std::shared_ptr<const Flattened> flat_;
};

}  // namespace
}  // namespace detail

AnyView::AnyView(const Text& text) : view_(std::make_shared<detail::TextView>(text)) {}

TextMeasurerKey::Value TextMeasurerKey::defaultValue() {
  return std::make_shared<FakeTextMeasurer>();
}

}  // namespace ui
