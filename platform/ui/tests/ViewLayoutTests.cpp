#include <gtest/gtest.h>

#include "ViewTestSupport.h"

namespace ui {
namespace {
using testing::Box;
using testing::Host;
using testing::T;

AnyView Tagged(AnyView v, std::string id) {
  return v.accessibilityIdentifier(std::move(id));
}

TEST(ViewLayout, VStackAlignsAndStacksWithSpacing) {
  struct Case {
    HAlign alignment;
    double aX;
  } cases[] = {{HAlign::leading, 0}, {HAlign::center, 6}, {HAlign::trailing, 12}};
  for (const auto& c : cases) {
    Host h(VStack(c.alignment, 4, {Tagged(T("abc"), "a"), Tagged(T("abcde"), "b")}), {100, {}});
    EXPECT_EQ(h.host.rootSize(), (Size{30, 28}));
    EXPECT_EQ(h.frame("a"), (Rect{c.aX, 0, 18, 12}));
    EXPECT_EQ(h.frame("b"), (Rect{0, 16, 30, 12}));
  }
}

TEST(ViewLayout, HStackSharesWidthLeastFlexibleFirst) {
  Host h(HStack(VAlign::center, 0,
                {Tagged(T("ab"), "text"), Tagged(Spacer(), "spacer"), Box(20, 20, "box")}),
         {100, 20});
  EXPECT_EQ(h.frame("text"), (Rect{0, 4, 12, 12}));
  EXPECT_EQ(h.frame("spacer"), (Rect{12, 10, 68, 0}));
  EXPECT_EQ(h.frame("box"), (Rect{80, 0, 20, 20}));

  // The short text is satisfied first; the long one wraps in what is left.
  Host w(HStack(VAlign::center, 0, {Tagged(T("aaaaaaaaaa"), "long"), Tagged(T("bb"), "short")}),
         {50, {}});
  EXPECT_EQ(w.frame("long"), (Rect{0, 0, 36, 24}));
  EXPECT_EQ(w.frame("short"), (Rect{36, 6, 12, 12}));

  // A higher layout priority is served before flexibility counts.
  Host p(HStack(VAlign::top, 0,
                {Tagged(T("aaaaaaaaaa"), "long").layoutPriority(1), Tagged(T("bbbbb"), "other")}),
         {66, {}});
  EXPECT_EQ(p.frame("long").width, 60);
  EXPECT_EQ(p.frame("other"), (Rect{60, 0, 6, 60}));
}

TEST(ViewLayout, TextBesideASpacerWrapsAtTheWidthTheSpacerLeaves) {
  // A row label before a spacer keeps one line while it fits the row.
  Host h(HStack(VAlign::top, 0, {Tagged(T("aaaa aaaa aaaa"), "text"), Tagged(Spacer(), "s")}),
         {100, {}});
  EXPECT_EQ(h.frame("text"), (Rect{0, 0, 84, 12}));
  EXPECT_EQ(h.frame("s").x, 84);

  // A longer one wraps at the row's width less the spacer's minimum length.
  Host m(HStack(VAlign::top, 0, {Tagged(T("aaaa aaaa aaaa"), "text"), Tagged(Spacer(20), "s")}),
         {100, {}});
  EXPECT_EQ(m.frame("text"), (Rect{0, 0, 54, 24}));
  EXPECT_EQ(m.frame("s"), (Rect{54, 0, 46, 0}));

  // Two texts around a spacer share the row between them and leave the spacer the rest.
  Host two(
      HStack(VAlign::top, 0,
             {Tagged(T("aaaa aaaa"), "a"), Tagged(Spacer(), "s"), Tagged(T("bbbb bbbb"), "b")}),
      {120, {}});
  EXPECT_EQ(two.frame("a"), (Rect{0, 0, 54, 12}));
  EXPECT_EQ(two.frame("b"), (Rect{66, 0, 54, 12}));

  // A view that takes any width still shares the row equally with a spacer.
  Host greedy(HStack(VAlign::top, 0, {Tagged(ColorView(Color::red()), "c"), Tagged(Spacer(), "s")}),
              {100, 10});
  EXPECT_EQ(greedy.frame("c"), (Rect{0, 0, 50, 10}));
}

TEST(ViewLayout, StackWithoutProposalTakesIdealSizesAndDefaultSpacing) {
  Host h(HStack({Tagged(T("ab"), "a"), Tagged(Spacer(), "s"), Tagged(T("c"), "c")}));
  EXPECT_EQ(h.host.rootSize(), (Size{12 + 8 + 0 + 8 + 6, 12}));
  EXPECT_EQ(h.frame("c").x, 28);
}

TEST(ViewLayout, BaselineAndFirstLineCentreAlignment) {
  Host h(HStack(VAlign::firstTextBaseline, 0,
                {Tagged(AnyView(Text::verbatim("a")).font(Font::system(20)), "big"),
                 Tagged(T("b"), "small")}));
  EXPECT_EQ(h.host.rootSize(), (Size{18, 24}));
  EXPECT_EQ(h.frame("big").y, 0);
  EXPECT_EQ(h.frame("small").y, 8);  // baselines at 16

  // A label's icon sits on the centre of the title's first line.
  Host l(Label(Tagged(T("ab\ncd"), "title"), Box(10, 10, "icon")));
  EXPECT_EQ(l.frame("icon"), (Rect{0, 1, 10, 10}));
  EXPECT_EQ(l.frame("title"), (Rect{10 + kLabelSpacing, 0, 12, 24}));
}

TEST(ViewLayout, PaddingShrinksTheProposalAndGrowsTheSize) {
  Host a(Tagged(T("ab").padding(5), "p"));
  EXPECT_EQ(a.frame("p"), (Rect{0, 0, 22, 22}));
  Host b(Tagged(Tagged(T("ab"), "t").padding(EdgeSet(Edge::top)), "p"));
  EXPECT_EQ(b.frame("p"), (Rect{0, 0, 12, 12 + kDefaultPadding}));
  EXPECT_EQ(b.frame("t").y, kDefaultPadding);
  // The proposal never goes below zero: the text breaks to one character a line (and answers
  // no more than the zero width it was offered).
  Host c(Tagged(T("ab").padding(EdgeInsets{0, 20, 0, 20}), "p"), {30, {}});
  EXPECT_EQ(c.frame("p"), (Rect{0, 0, 40, 24}));
}

TEST(ViewLayout, FixedAndFlexibleFrames) {
  Host fixed(Tagged(T("ab"), "t").frame(50, 30, Alignment::bottomTrailing), {200, 200});
  EXPECT_EQ(fixed.frame("t"), (Rect{38, 18, 12, 12}));
  EXPECT_EQ(fixed.host.rootSize(), (Size{50, 30}));

  Host widthOnly(Tagged(T("ab"), "t").frame(50, std::nullopt), {200, 200});
  EXPECT_EQ(widthOnly.host.rootSize(), (Size{50, 12}));

  Host greedy(Tagged(T("ab"), "t").frame(FrameBounds{.maxWidth = kInfinity}, Alignment::leading),
              {100, 100});
  EXPECT_EQ(greedy.host.rootSize(), (Size{100, 12}));
  EXPECT_EQ(greedy.frame("t").x, 0);

  Host marker(Tagged(T("ab"), "t").frame(FrameBounds{.minWidth = 30}, Alignment::trailing),
              {100, 100});
  EXPECT_EQ(marker.host.rootSize(), (Size{30, 12}));
  EXPECT_EQ(marker.frame("t").x, 18);
  Host wideMarker(T("abcdef").frame(FrameBounds{.minWidth = 30}, Alignment::trailing), {100, 100});
  EXPECT_EQ(wideMarker.host.rootSize(), (Size{36, 12}));

  Host ideal(T("ab").frame(FrameBounds{.idealWidth = 40, .maxWidth = 60}).fixedSize(), {200, 200});
  EXPECT_EQ(ideal.host.rootSize().width, 40);
}

TEST(ViewLayout, FixedSizeIgnoresTheProposal) {
  Host h(Tagged(T("aaaa bbbb").fixedSize(), "t"), {30, 10});
  EXPECT_EQ(h.frame("t"), (Rect{0, 0, 54, 12}));
  // A shape in a stack under fixedSize(vertical) gets the text's height.
  Host s(HStack(VAlign::center, 0, {Box(4, 0, "x").frame(4, std::nullopt), T("a\nb\nc")})
             .fixedSize(false, true),
         {100, 500});
  EXPECT_EQ(s.frame("x").height, 0);
  Host bar(
      HStack(VAlign::center, 0,
             {Tagged(Rectangle().fill(Color::gray()).frame(4, std::nullopt), "bar"), T("a\nb\nc")})
          .fixedSize(false, true),
      {100, 500});
  EXPECT_EQ(bar.frame("bar"), (Rect{0, 0, 4, 36}));
}

TEST(ViewLayout, OverlayAndBackgroundTakeThePrimarySize) {
  Host h(Tagged(T("abcd"), "t")
             .overlay(Box(10, 10, "corner"), Alignment::topTrailing)
             .background(Tagged(Rectangle().fill(Color::gray()), "bg")),
         {100, 100});
  EXPECT_EQ(h.host.rootSize(), (Size{24, 12}));
  EXPECT_EQ(h.frame("corner"), (Rect{14, 0, 10, 10}));
  EXPECT_EQ(h.frame("bg"), (Rect{0, 0, 24, 12}));
  // Overflowing secondary content does not change the size.
  Host over(T("ab").overlay(Box(30, 30, "big")), {100, 100});
  EXPECT_EQ(over.host.rootSize(), (Size{12, 12}));
  EXPECT_EQ(over.frame("big"), (Rect{-9, -9, 30, 30}));
  // The background is painted first, the overlay last.
  Host order(T("ab").background(Color::blue()).overlay(ColorView(Color::red())));
  const auto fills = order.host.render().itemsOf<DisplayItem::FillPath>();
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].color, Color::blue().resolve(ColorScheme::light));
  EXPECT_EQ(fills[1].color, Color::red().resolve(ColorScheme::light));
}

TEST(ViewLayout, ZStackUnitesAlignedChildrenAndOffsetMovesOnlyDrawing) {
  Host z(ZStack(Alignment::topLeading, {Box(40, 10, "wide"), Tagged(T("ab"), "t")}));
  EXPECT_EQ(z.host.rootSize(), (Size{40, 12}));
  EXPECT_EQ(z.frame("t"), (Rect{0, 0, 12, 12}));
  Host o(VStack(HAlign::leading, 0, {Box(10, 10, "a").offset(5, 7), Box(10, 10, "b")}));
  EXPECT_EQ(o.frame("a"), (Rect{5, 7, 10, 10}));
  EXPECT_EQ(o.frame("b"), (Rect{0, 10, 10, 10}));
  EXPECT_EQ(o.host.rootSize(), (Size{10, 20}));
}

TEST(ViewLayout, SpacerAndDividerFollowTheirStack) {
  Host v(VStack(HAlign::leading, 0, {T("a"), Tagged(Divider(), "d"), Tagged(Spacer(), "s")}),
         {50, 100});
  EXPECT_EQ(v.frame("d"), (Rect{0, 12, 50, 1}));
  EXPECT_EQ(v.frame("s"), (Rect{0, 13, 0, 87}));
  Host h(HStack(VAlign::top, 0, {T("a"), Tagged(Divider(), "d")}), {50, 30});
  EXPECT_EQ(h.frame("d"), (Rect{6, 0, 1, 30}));
  Host alone(Tagged(Spacer(), "s"));
  EXPECT_EQ(alone.frame("s"), (Rect{0, 0, 0, 0}));
  Host empty(Tagged(T(""), "e"));
  EXPECT_EQ(empty.frame("e"), (Rect{0, 0, 0, 0}));
}

TEST(ViewLayout, GridSizesColumnsAndRowsAndAlignsCells) {
  Host g(Grid(
      Alignment::center, 2, 3,
      {GridRow({Tagged(T("a"), "a").gridColumnAlignment(HAlign::trailing), Tagged(T("bbb"), "b")}),
       GridRow({Tagged(T("cc"), "c"), Tagged(T("d\ne"), "d")})}));
  EXPECT_EQ(g.host.rootSize(), (Size{32, 12 + 3 + 24}));
  EXPECT_EQ(g.frame("a"), (Rect{6, 0, 6, 12}));
  EXPECT_EQ(g.frame("b"), (Rect{14, 0, 18, 12}));
  EXPECT_EQ(g.frame("c"), (Rect{0, 21, 12, 12}));  // centred in its 24-high row
  EXPECT_EQ(g.frame("d"), (Rect{20, 15, 6, 24}));
  // A narrower proposal shrinks the widest column only.
  Host n(Grid(Alignment::topLeading, 0, 0,
              {GridRow({Tagged(T("aa"), "a"), Tagged(T("bbbbbbbbbb"), "b")})}),
         {48, {}});
  EXPECT_EQ(n.frame("a").width, 12);
  EXPECT_EQ(n.frame("b"), (Rect{12, 0, 36, 24}));
}

// Rows broken when the next subview would overflow the offered width, items bottom-aligned.
class FlowLayout final : public Layout {
 public:
  FlowLayout(double h, double v) : h_(h), v_(v) {}
  struct Row {
    Size size;
    std::vector<std::pair<std::size_t, Size>> items;
  };
  std::vector<Row> rows(ProposedSize p, const LayoutSubviews& subviews) const {
    const double W = p.width.value_or(kInfinity);
    std::vector<Row> out;
    Row row;
    double x = 0, height = 0;
    for (std::size_t i = 0; i < subviews.size(); ++i) {
      const std::optional<double> w =
          (subviews[i].priority() >= 0 || !p.width) ? p.width : std::optional<double>(W - x);
      const Size s = subviews[i].sizeThatFits({w, std::nullopt});
      if (x > 0 && x + s.width > W) {
        row.size = {x - h_, height};
        out.push_back(std::move(row));
        row = {};
        x = height = 0;
      }
      row.items.push_back({i, s});
      x += s.width + h_;
      height = std::max(height, s.height);
    }
    if (!row.items.empty()) {
      row.size = {x - h_, height};
      out.push_back(std::move(row));
    }
    return out;
  }
  Size sizeThatFits(ProposedSize p, const LayoutSubviews& subviews) const override {
    Size s;
    const auto all = rows(p, subviews);
    for (const auto& r : all) {
      s.width = std::max(s.width, r.size.width);
      s.height += r.size.height;
    }
    if (all.size() > 1) s.height += v_ * double(all.size() - 1);
    return s;
  }
  void placeSubviews(Rect bounds, ProposedSize p, const LayoutSubviews& subviews) const override {
    double y = bounds.minY();
    for (const auto& r : rows(p, subviews)) {
      double x = bounds.minX();
      for (const auto& [i, s] : r.items) {
        subviews[i].place({x, y + r.size.height - s.height}, UnitPoint::topLeading,
                          ProposedSize::of(s));
        x += s.width + h_;
      }
      y += r.size.height + v_;
    }
  }

 private:
  double h_, v_;
};

TEST(ViewLayout, CustomFlowLayoutWrapsRows) {
  auto flow = std::make_shared<FlowLayout>(3, 3);
  Host h(CustomLayout(flow, {Box(40, 10, "a"), Box(40, 20, "b"), Box(40, 10, "c")}), {100, {}});
  EXPECT_EQ(h.host.rootSize(), (Size{83, 20 + 3 + 10}));
  EXPECT_EQ(h.frame("a"), (Rect{0, 10, 40, 10}));  // bottom-aligned with the taller "b"
  EXPECT_EQ(h.frame("b"), (Rect{43, 0, 40, 20}));
  EXPECT_EQ(h.frame("c"), (Rect{0, 23, 40, 10}));
  // Unspecified width never wraps; an exact fit stays on the row.
  Host one(CustomLayout(flow, {Box(40, 10, "a"), Box(40, 10, "b"), Box(40, 10, "c")}));
  EXPECT_EQ(one.host.rootSize(), (Size{126, 10}));
  Host exact(CustomLayout(flow, {Box(47, 10, "a"), Box(50, 10, "b")}), {100, {}});
  EXPECT_EQ(exact.frame("b"), (Rect{50, 0, 50, 10}));
  // A line-break spacer takes a row to itself.
  Host br(CustomLayout(flow, {Box(40, 10, "a"), Spacer(), Box(40, 10, "c")}), {100, {}});
  EXPECT_EQ(br.frame("c"), (Rect{0, 16, 40, 10}));
}

TEST(ViewLayout, ScrollViewProposesUnspecifiedAlongItsAxisAndScrolls) {
  Host h(Tagged(ScrollView(ScrollAxes::horizontal, true, Tagged(T(std::string(30, 'a')), "t")),
                "scroll"),
         {50, 100});
  EXPECT_EQ(h.frame("scroll"), (Rect{0, 0, 50, 12}));
  EXPECT_EQ(h.frame("t"), (Rect{0, 0, 180, 12}));
  EXPECT_TRUE(h.host.scrolled({10, 5}, 200, 0));
  EXPECT_EQ(h.frame("t").x, -130);  // clamped to the content's end
  EXPECT_FALSE(h.host.scrolled({10, 5}, 10, 0));
  const auto list = h.host.render();
  ASSERT_FALSE(list.itemsOf<DisplayItem::PushClip>().empty());
  EXPECT_EQ(list.itemsOf<DisplayItem::PushClip>()[0].path.boundingRect(), (Rect{0, 0, 50, 12}));
  EXPECT_EQ(list.itemsOf<DisplayItem::FillPath>().size(), 1u);  // the indicator
  // Content that fits scrolls nowhere.
  Host small(ScrollView(ScrollAxes::horizontal, true, T("ab")), {50, 100});
  EXPECT_FALSE(small.host.scrolled({1, 1}, 5, 0));
  // Across the scrolling axis, narrower content stands in the middle.
  Host column(ScrollView(ScrollAxes::vertical, true, Tagged(T("ab"), "t")), {100, 50});
  EXPECT_EQ(column.frame("t"), (Rect{44, 0, 12, 12}));
}

TEST(ViewLayout, MeasuringAtAnotherSizeLeavesTheLayoutAsItWas) {
  // A stack aligned by text guides lays its children out to measure itself.
  Host h(ScrollView(
             VStack(HAlign::leading, 0,
                    {HStack(VAlign::firstTextBaseline, 4, {Tagged(T("aaaa bbbb"), "t"), T("x")}),
                     T("below")})),
         {200, 100});
  const Rect placed{68, 0, 54, 12};  // the 64-wide column stands in the middle of 200
  EXPECT_EQ(h.frame("t"), placed);
  h.host.sizeThatFits({0.0, 0.0});
  EXPECT_EQ(h.frame("t"), placed);
  h.host.update(true);
  EXPECT_EQ(h.frame("t"), placed);
  EXPECT_NE(h.host.dump().find("\"aaaa bbbb\""), std::string::npos);
}

TEST(ViewLayout, GeometryReaderTakesItsProposal) {
  Host h(GeometryReader([](const GeometryProxy& g) -> AnyView {
           return Tagged(
               T(std::to_string(int(g.size().width)) + "x" + std::to_string(int(g.size().height))),
               "t");
         }).frame(80, 40),
         {200, 200});
  EXPECT_NE(h.host.dump().find("\"80x40\""), std::string::npos) << h.host.dump();
  EXPECT_EQ(h.frame("t"), (Rect{0, 0, 30, 12}));
}

TEST(ViewLayout, ClipShapeClipsDrawingOnly) {
  Host h(Box(30, 30, "b").clipShape(Circle()).frame(10, 10), {100, 100});
  EXPECT_EQ(h.host.rootSize(), (Size{10, 10}));
  const auto clips = h.host.render().itemsOf<DisplayItem::PushClip>();
  ASSERT_EQ(clips.size(), 1u);
  EXPECT_EQ(clips[0].path.boundingRect(), (Rect{-10, -10, 30, 30}));
}

}  // namespace
}  // namespace ui
