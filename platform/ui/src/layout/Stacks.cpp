#include "ui/Stacks.h"

#include <algorithm>
#include <numeric>

#include "ui/Color.h"
#include "ui/SystemEnvironment.h"
#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

class StackView final : public Primitive {
 public:
  StackView(Axis axis, HAlign h, VAlign v, std::optional<double> spacing,
            std::vector<AnyView> children)
      : axis_(axis),
        h_(h),
        v_(v),
        spacing_(spacing.value_or(kDefaultSpacing)),
        children_(std::move(children)) {}

  std::string name() const override { return axis_ == Axis::vertical ? "VStack" : "HStack"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return childrenIgnoreProposedHeight(node);
  }
  std::string describe(const Node&) const override { return "spacing=" + fmt(spacing_); }
  std::optional<Axis> stackAxis() const override { return axis_; }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    return childSpecs(children_);
  }

  std::optional<double> mainOf(ProposedSize p) const {
    return axis_ == Axis::horizontal ? p.width : p.height;
  }
  std::optional<double> crossOf(ProposedSize p) const {
    return axis_ == Axis::horizontal ? p.height : p.width;
  }
  double mainOf(Size s) const { return axis_ == Axis::horizontal ? s.width : s.height; }
  double crossOf(Size s) const { return axis_ == Axis::horizontal ? s.height : s.width; }
  ProposedSize make(std::optional<double> main, std::optional<double> cross) const {
    return axis_ == Axis::horizontal ? ProposedSize{main, cross} : ProposedSize{cross, main};
  }
  bool guided() const {
    return axis_ == Axis::horizontal &&
           (v_ == VAlign::firstTextBaseline || v_ == VAlign::firstLineCenter);
  }
  double totalSpacing(std::size_t n) const { return n > 1 ? spacing_ * double(n - 1) : 0; }

  // The proposal each child gets for a main-axis proposal, least flexible first.
  std::vector<ProposedSize> distribute(Node& node, std::optional<double> main,
                                       std::optional<double> cross) const {
    const auto& kids = node.children();
    const std::size_t n = kids.size();
    std::vector<ProposedSize> proposals(n, make(std::nullopt, cross));
    if (!main || n == 0) return proposals;

    struct Entry {
      std::size_t index;
      double priority, min, flexibility;
      bool yields;
    };
    // Spacers give way to the children that have a size of their own: a text beside a spacer
    // wraps at the width the spacer leaves it, not at a share of the stack. Children that
    // take any length (flexible frames) still share equally with the spacers.
    bool anySpacer = false;
    for (const auto& kid : kids) anySpacer = anySpacer || kid->isSpacer();
    constexpr double kUnbounded = 1e7;
    std::vector<Entry> entries;
    entries.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      const double lo = mainOf(kids[i]->measure(make(0.0, cross)));
      const double hi = mainOf(kids[i]->measure(make(*main, cross)));
      const bool yields =
          anySpacer && (kids[i]->isSpacer() ||
                        mainOf(kids[i]->measure(make(kUnbounded, cross))) >= kUnbounded / 2);
      entries.push_back({i, kids[i]->layoutPriority(), lo, hi - lo, yields});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      if (a.priority != b.priority) return a.priority > b.priority;
      if (a.yields != b.yields) return b.yields;
      return a.flexibility < b.flexibility;
    });
    double remaining = *main - totalSpacing(n);
    std::size_t group = 0;
    while (group < entries.size()) {
      std::size_t end = group;
      while (end < entries.size() && entries[end].priority == entries[group].priority) ++end;
      std::size_t firstYielding = group;
      while (firstYielding < end && !entries[firstYielding].yields) ++firstYielding;
      double reservedBelow = 0;
      for (std::size_t k = end; k < entries.size(); ++k) reservedBelow += entries[k].min;
      double yieldingMin = 0;
      for (std::size_t k = firstYielding; k < end; ++k) yieldingMin += entries[k].min;
      double available = remaining - reservedBelow;
      for (std::size_t k = group; k < end; ++k) {
        const bool yields = k >= firstYielding;
        const double reserved = yields ? 0 : yieldingMin;
        const std::size_t sharers = yields ? end - k : firstYielding - k;
        const double share = std::max(0.0, (available - reserved) / double(sharers));
        auto& child = *kids[entries[k].index];
        proposals[entries[k].index] = make(share, cross);
        const double used = mainOf(child.measure(make(share, cross)));
        available -= used;
        remaining -= used;
      }
      group = end;
    }
    return proposals;
  }

  struct Guides {
    double above = 0, below = 0;
  };
  Guides guides(Node& node, const std::vector<ProposedSize>& proposals) const {
    Guides g;
    for (std::size_t i = 0; i < proposals.size(); ++i) {
      auto& c = *node.children()[i];
      c.layout(proposals[i]);
      const double y = c.guide(v_);
      g.above = std::max(g.above, y);
      g.below = std::max(g.below, c.size().height - y);
    }
    return g;
  }

  Size sizeThatFits(Node& node, ProposedSize p) const override {
    const auto proposals = distribute(node, mainOf(p), crossOf(p));
    double main = totalSpacing(proposals.size()), cross = 0;
    for (std::size_t i = 0; i < proposals.size(); ++i) {
      const Size s = node.children()[i]->measure(proposals[i]);
      main += mainOf(s);
      cross = std::max(cross, crossOf(s));
    }
    if (guided() && !proposals.empty()) {
      const Guides g = guides(node, proposals);
      cross = g.above + g.below;
    }
    return axis_ == Axis::horizontal ? Size{main, cross} : Size{cross, main};
  }

  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    const auto proposals = distribute(node, mainOf(p), crossOf(size));
    Guides g;
    if (guided() && !proposals.empty()) g = guides(node, proposals);
    double cursor = 0;
    for (std::size_t i = 0; i < proposals.size(); ++i) {
      auto& c = *node.children()[i];
      const Size s = c.measure(proposals[i]);
      if (guided()) c.layout(proposals[i]);
      if (axis_ == Axis::vertical) {
        c.setOrigin({alignedOffset(h_, size.width, s.width), cursor});
      } else {
        const double y =
            guided() ? g.above - c.guide(v_) : alignedOffset(v_, size.height, s.height);
        c.setOrigin({cursor, y});
      }
      c.layout(proposals[i]);
      cursor += mainOf(s) + spacing_;
    }
  }

 private:
  Axis axis_;
  HAlign h_;
  VAlign v_;
  double spacing_;
  std::vector<AnyView> children_;
};

class ZStackView final : public Primitive {
 public:
  ZStackView(Alignment a, std::vector<AnyView> children) : a_(a), children_(std::move(children)) {}
  std::string name() const override { return "ZStack"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return childrenIgnoreProposedHeight(node);
  }
  std::vector<ChildSpec> children(Node&, const Environment&) const override {
    return childSpecs(children_);
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    Size out;
    for (const auto& c : node.children()) {
      const Size s = c->measure(p);
      out.width = std::max(out.width, s.width);
      out.height = std::max(out.height, s.height);
    }
    return out;
  }
  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    for (const auto& c : node.children()) {
      placeAligned(*c, size, p, a_);
    }
  }

 private:
  Alignment a_;
  std::vector<AnyView> children_;
};

class SpacerView final : public Primitive {
 public:
  explicit SpacerView(std::optional<double> minLength) : min_(minLength.value_or(0)) {}
  std::string name() const override { return "Spacer"; }
  bool isSpacer() const override { return true; }
  // In a row it is as high as nothing.
  bool ignoresProposedHeight(const Node& node) const override {
    return node.parentStackAxis() == Axis::horizontal;
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    const auto axis = node.parentStackAxis();
    if (axis == Axis::horizontal) return {std::max(min_, p.width.value_or(0)), 0};
    if (axis == Axis::vertical) return {0, std::max(min_, p.height.value_or(0))};
    return {std::max(min_, p.width.value_or(0)), p.height.value_or(0)};
  }

 private:
  double min_;
};

class DividerView final : public Primitive {
 public:
  std::string name() const override { return "Divider"; }
  // Across a column it is a line of its own thickness; in a row, as high as proposed.
  bool ignoresProposedHeight(const Node& node) const override {
    return node.parentStackAxis() != Axis::horizontal;
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    if (node.parentStackAxis() == Axis::horizontal)
      return {kDividerThickness, p.height.value_or(0)};
    return {p.width.value_or(0), kDividerThickness};
  }
  void render(const Node& node, RenderContext& context) const override {
    context.list.add(DisplayItem::FillPath{Path::rect(windowRect(node, context)),
                                           Color::separator().resolve(context.scheme)});
  }
};

AnyView wrap(std::shared_ptr<const View> v) {
  return AnyView(std::move(v));
}

}  // namespace
}  // namespace detail

using detail::wrap;

AnyView VStack(HAlign alignment, std::optional<double> spacing, std::vector<AnyView> children) {
  return wrap(std::make_shared<detail::StackView>(Axis::vertical, alignment, VAlign::center,
                                                  spacing, std::move(children)));
}
AnyView VStack(std::vector<AnyView> children) {
  return VStack(HAlign::center, std::nullopt, std::move(children));
}
AnyView HStack(VAlign alignment, std::optional<double> spacing, std::vector<AnyView> children) {
  return wrap(std::make_shared<detail::StackView>(Axis::horizontal, HAlign::center, alignment,
                                                  spacing, std::move(children)));
}
AnyView HStack(std::vector<AnyView> children) {
  return HStack(VAlign::center, std::nullopt, std::move(children));
}
AnyView ZStack(Alignment alignment, std::vector<AnyView> children) {
  return wrap(std::make_shared<detail::ZStackView>(alignment, std::move(children)));
}
AnyView ZStack(std::vector<AnyView> children) {
  return ZStack(Alignment::center, std::move(children));
}
AnyView Spacer(std::optional<double> minLength) {
  return wrap(std::make_shared<detail::SpacerView>(minLength));
}
AnyView Divider() {
  return wrap(std::make_shared<detail::DividerView>());
}

}  // namespace ui
