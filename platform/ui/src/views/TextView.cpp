#include <foundation/UTF8.h>

#include <algorithm>
#include <cctype>
#include <cmath>

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

// A text selection: byte offsets where it started and where it is now.
struct Selection {
  std::size_t anchor = 0, focus = 0;
  bool dragged = false;
  std::size_t begin() const { return std::min(anchor, focus); }
  std::size_t end() const { return std::max(anchor, focus); }
};

// Laid-out text by proposed width, so measuring and placing share one layout.
struct TextLayouts {
  struct Entry {
    std::optional<double> width;
    TextLayout layout;
  };
  std::vector<Entry> entries;
  // The layout drawn, kept apart: measuring at other widths must not evict it.
  std::optional<TextLayout> placed;
  Selection selection;
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
    // A selection outlives text changes (a streamed answer grows) but not its end.
    const std::size_t size = flat().plain.size();
    cache.selection.anchor = std::min(cache.selection.anchor, size);
    cache.selection.focus = std::min(cache.selection.focus, size);
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
  bool ignoresProposedHeight(const Node&) const override { return true; }
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
    renderSelection(node, context, *layout, box);
    const Color tint = node.environment().get<TintKey>();
    for (const auto& f : layout->fragments) {
      if (f.run >= runs.size()) continue;
      const auto& run = runs[f.run];
      const Rect frame = f.frame.offsetBy(box.x, box.y);
      if (!context.mayShow(glyphInk(frame))) continue;
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

  std::optional<Rect> ownInk(const Node& node) const override {
    Rect ink{0, 0, node.size().width, node.size().height};
    if (const TextLayout* layout = placed(node)) {
      for (const auto& line : layout->lines) ink = ink.united(line.frame);
      for (const auto& f : layout->fragments) ink = ink.united(glyphInk(f.frame));
    }
    return ink;
  }

  // Links take clicks (the environment's open-URL action opens them); selectable text takes
  // presses and drags.
  static bool selectable(const Node& node) {
    return node.environment().get<TextSelectabilityKey>() == TextSelectability::enabled;
  }
  bool takesPointer(const Node& node) const override {
    if (selectable(node)) return true;
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
    if (selectable(node)) return CursorShape::iBeam;
    return std::nullopt;
  }

  // The x of a byte offset inside a fragment: the width of the fragment's text before it.
  double xOf(const Node& node, const TextLayout::Fragment& f, std::size_t offset) const {
    if (offset <= f.begin) return f.frame.x;
    if (offset >= f.end) return f.frame.maxX();
    const auto& runs = flat().runs;
    if (f.run >= runs.size() || runs[f.run].image) return f.frame.x;
    const std::string& plain = flat().plain;
    // Spaces as no-break spaces: trailing spaces would hang outside the measured width.
    std::string piece;
    for (char c : plain.substr(f.begin, offset - f.begin)) {
      if (c == ' ')
        piece += "\xC2\xA0";
      else
        piece += c;
    }
    const Text prefix = Text::attributed(AttributedString(piece, runs[f.run].attributes));
    const auto& measurer = node.environment().get<TextMeasurerKey>();
    return f.frame.x +
           measurer->layout(prefix, defaultsOf(node.environment()), std::nullopt).size.width;
  }

  // The byte offset nearest to a point: the closest character boundary on the line under it.
  std::size_t offsetAt(const Node& node, Point p) const {
    const TextLayout* layout = placed(node);
    if (!layout || layout->lines.empty()) return 0;
    std::size_t line = 0;
    while (line + 1 < layout->lines.size() && p.y >= layout->lines[line].frame.maxY()) ++line;
    const auto& l = layout->lines[line];
    if (p.y < layout->lines.front().frame.y) return layout->lines.front().begin;
    if (p.y >= layout->lines.back().frame.maxY()) return layout->lines.back().end;
    std::size_t best = l.begin;
    double bestDistance = std::abs(p.x - l.frame.x);
    const std::string& plain = flat().plain;
    for (const auto& f : layout->fragments) {
      if (f.line != line) continue;
      for (std::size_t o = f.begin; o <= f.end && o <= l.end;) {
        const double d = std::abs(p.x - xOf(node, f, o));
        if (d < bestDistance) {
          bestDistance = d;
          best = o;
        }
        if (o == f.end) break;
        o += std::max<std::size_t>(1, foundation::utf8::decode(plain, o).length);
      }
    }
    return best;
  }

  // The word (letters and digits) or the run of other characters around an offset.
  std::pair<std::size_t, std::size_t> wordAt(std::size_t offset) const {
    const std::string& plain = flat().plain;
    auto isWordByte = [&](std::size_t i) {
      const unsigned char c = static_cast<unsigned char>(plain[i]);
      return c >= 0x80 || std::isalnum(c) || c == '_' || c == '\'';
    };
    if (plain.empty()) return {0, 0};
    std::size_t at = std::min(offset, plain.size() - 1);
    const bool word = isWordByte(at);
    std::size_t begin = at, end = at;
    while (begin > 0 && isWordByte(begin - 1) == word && plain[begin - 1] != '\n') --begin;
    while (end < plain.size() && isWordByte(end) == word && plain[end] != '\n') ++end;
    return {begin, end};
  }

  void pointer(Node& node, PointerPhase phase, const PointerEvent& event,
               bool inside) const override {
    if (selectable(node)) {
      auto& sel = node.local<TextLayouts>().selection;
      if (phase == PointerPhase::pressed) {
        node.host().selectionStarted(node);
        const std::size_t at = offsetAt(node, event.location);
        if (event.clickCount >= 3) {
          sel = {0, flat().plain.size(), true};
        } else if (event.clickCount == 2) {
          const auto [b, e] = wordAt(at);
          sel = {b, e, true};
        } else {
          sel = {at, at, false};
        }
        node.host().setNeedsFrame();
        return;
      }
      if (phase == PointerPhase::moved) {
        const std::size_t at = offsetAt(node, event.location);
        if (at != sel.focus) {
          sel.focus = at;
          sel.dragged = true;
          node.host().setNeedsFrame();
        }
        return;
      }
      if (phase == PointerPhase::released && sel.dragged) return;  // a drag opens no link
    }
    if (phase != PointerPhase::released || !inside) return;
    if (const auto run = linkAt(node, event.location))
      node.environment().get<OpenURLKey>()(*flat().runs[*run].attributes.link);
  }

  // A text reads as its characters, without the stand-ins of inline images.
  static std::string readable(std::string text) {
    for (std::size_t i; (i = text.find(Text::kImagePlaceholder)) != std::string::npos;)
      text.erase(i, Text::kImagePlaceholder.size());
    return text;
  }
  AccessibilityTraits accessibilityTraits(const Node&) const override {
    std::string text = readable(flat().plain);
    if (text.empty()) return {};
    return {.role = AccessibilityRole::staticText, .label = std::move(text)};
  }
  // Neighbouring runs with one destination (a bold word inside a link) make one link.
  std::vector<AccessibleLink> accessibleLinks(const Node& node) const override {
    std::vector<AccessibleLink> links;
    const auto& runs = flat().runs;
    const std::string& plain = flat().plain;
    const TextLayout* layout = placed(node);
    std::optional<foundation::URL> current;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      const auto& link = runs[i].attributes.link;
      if (!link) {
        current.reset();
        continue;
      }
      const std::size_t b = std::min(runs[i].begin, plain.size());
      const std::string piece = plain.substr(b, std::min(runs[i].end, plain.size()) - b);
      std::optional<Rect> frame;
      if (layout)
        for (const auto& f : layout->fragments)
          if (f.run == i) frame = frame ? frame->united(f.frame) : f.frame;
      if (current && *current == *link && !links.empty()) {
        links.back().name += piece;
        if (frame) links.back().frame = links.back().frame.united(*frame);
        continue;
      }
      current = link;
      auto open = node.environment().get<OpenURLKey>();
      links.push_back({piece, frame.value_or(Rect{}), [open, url = *link] { open(url); }});
    }
    for (auto& l : links) l.name = readable(std::move(l.name));
    return links;
  }

  static const Selection* selectionOf(const Node& node) {
    auto* cache = node.localIfAny<TextLayouts>();
    return cache ? &cache->selection : nullptr;
  }
  std::optional<std::string> selectedText(const Node& node) const override {
    const Selection* sel = selectionOf(node);
    if (!sel || sel->begin() == sel->end()) return std::nullopt;
    const std::string& plain = flat().plain;
    const std::size_t b = std::min(sel->begin(), plain.size());
    std::string out = plain.substr(b, std::min(sel->end(), plain.size()) - b);
    // Inline images stand for nothing in copied text.
    for (std::size_t i; (i = out.find(Text::kImagePlaceholder)) != std::string::npos;)
      out.erase(i, Text::kImagePlaceholder.size());
    return out;
  }
  void clearSelection(Node& node) const override {
    if (const Selection* sel = selectionOf(node); sel && sel->begin() != sel->end()) {
      node.local<TextLayouts>().selection = {};
      node.host().setNeedsFrame();
    }
  }
  void renderSelection(const Node& node, RenderContext& context, const TextLayout& layout,
                       const Rect& box) const {
    const Selection* sel = selectionOf(node);
    if (!sel || sel->begin() == sel->end()) return;
    const Rgba color = Color::accent().opacity(0.35).resolve(context.scheme);
    for (const auto& f : layout.fragments) {
      const std::size_t b = std::max(f.begin, sel->begin()), e = std::min(f.end, sel->end());
      if (b >= e) continue;
      const double x0 = xOf(node, f, b), x1 = xOf(node, f, e);
      const auto& line = layout.lines[f.line];
      context.list.add(DisplayItem::FillPath{
          Path::rect(Rect{x0, line.frame.y, x1 - x0, line.frame.height}.offsetBy(box.x, box.y)),
          color});
    }
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
