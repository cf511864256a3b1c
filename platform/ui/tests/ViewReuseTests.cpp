#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ViewTestSupport.h"
#include "ui/CustomLayout.h"

namespace ui {
namespace {
using testing::Counted;
using testing::Host;
using testing::T;

// A wrapping item with a bullet, stacks inside stacks, counted. Equal items are equal views.
struct Item final : EquatableView<Item> {
  Item(std::string text, std::shared_ptr<int> sized)
      : text(std::move(text)), sized(std::move(sized)) {}
  std::string text;
  std::shared_ptr<int> sized;
  AnyView body(BuildContext&) const override {
    const AnyView content = sized ? Counted(T(text), sized) : T(text);
    return HStack(VAlign::top, 4, {T("*"), VStack(HAlign::leading, 2, {content})})
        .padding(EdgeSet(Edge::top), 4);
  }
  bool operator==(const Item& other) const { return text == other.text && sized == other.sized; }
};

AnyView Document(const std::vector<std::string>& items,
                 const std::vector<std::shared_ptr<int>>& sized) {
  std::vector<AnyView> blocks;
  for (std::size_t i = 0; i < items.size(); ++i)
    blocks.push_back(AnyView(Item(items[i], sized[i])).id(static_cast<std::int64_t>(i)));
  return VStack(HAlign::leading, 0, std::move(blocks));
}

// A conversation as a panel lays it out: a header line that changes as the user types above a
// scrolled row of an avatar, the document and a spacer.
AnyView Screen(const std::string& header, const AnyView& document) {
  return VStack(
      {T(header),
       ScrollView(VStack({HStack({T("A"), document.layoutPriority(1), Spacer()}).padding(30)}))});
}

std::vector<std::shared_ptr<int>> counters(std::size_t n) {
  std::vector<std::shared_ptr<int>> out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(std::make_shared<int>(0));
  return out;
}

int total(const std::vector<std::shared_ptr<int>>& counts) {
  int sum = 0;
  for (const auto& c : counts) sum += *c;
  return sum;
}

std::vector<std::string> items(std::size_t n) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string number = std::to_string(i);
    out.push_back("item " + std::string(4 - number.size(), '0') + number +
                  " with enough words to wrap across the list");
  }
  return out;
}

// What a host shows: its laid-out tree and what it draws.
std::string picture(const ViewHost& host) {
  return host.dump() + "--\n" + host.render().dump();
}

// The same root built from nothing.
std::string freshPicture(AnyView root, ProposedSize proposal, Environment environment = {}) {
  ViewHost host(std::move(root), std::make_shared<FakeTextMeasurer>());
  host.setEnvironment(std::move(environment));
  host.setProposal(proposal);
  host.update();
  return picture(host);
}

constexpr ProposedSize kWindow{300.0, 200.0};

TEST(ViewReuse, AnUnchangedSubtreeIsNotMeasuredAgainWhenItsParentsAreBuiltAgain) {
  const auto sized = counters(20);
  const AnyView document = Document(items(20), sized);
  Host h(Screen("a", document), kWindow);
  const std::string before = picture(h.host);
  ASSERT_GT(total(sized), 0);
  for (const auto& c : sized) *c = 0;
  // Every container above it is a new value, and stacks above ask it for many sizes.
  h.host.setRoot(Screen("ab", document));
  h.host.update();
  EXPECT_EQ(total(sized), 0);
  h.host.setRoot(Screen("a", document));
  h.host.update();
  EXPECT_EQ(total(sized), 0);
  EXPECT_EQ(picture(h.host), before);
}

// A list of `n` items whose last one grows by a word per frame, as a streamed answer does:
// the nodes measured in each frame.
std::vector<std::size_t> measuredPerToken(std::size_t n, int tokens) {
  auto text = items(n);
  text.back() = "the last item";
  auto document = [&] { return Document(text, std::vector<std::shared_ptr<int>>(n)); };
  Host h(Screen("a", document()), kWindow);
  std::vector<std::size_t> measured;
  for (int token = 0; token < tokens; ++token) {
    text.back() += " more";
    h.host.setRoot(Screen("a", document()));
    h.host.resetStats();
    h.host.update();
    measured.push_back(h.host.stats().nodesMeasured);
  }
  EXPECT_EQ(picture(h.host), freshPicture(Screen("a", document()), kWindow));
  return measured;
}

TEST(ViewReuse, AGrowingLastBlockCostsTheSameHoweverManyComeBeforeIt) {
  // Each item is a new value, those before the last equal to what they were. Some tokens make
  // the list a line taller, which the row proposes to everything in it.
  const auto few = measuredPerToken(40, 6);
  const auto many = measuredPerToken(160, 6);
  EXPECT_EQ(few, many);
}

TEST(ViewReuse, WhatTakesTheHeightOfARowStillGetsItAsTheRowGrows) {
  auto row = [](const std::string& text) {
    const AnyView fill = ColorView(Color::blue());
    return HStack(VAlign::top, 0,
                  {T(text).frame(60, std::nullopt).accessibilityIdentifier("text"),
                   fill.frame(4, std::nullopt).accessibilityIdentifier("bar"),
                   VStack({T("x"), Spacer(), T("y")}).accessibilityIdentifier("column"),
                   T("f")
                       .frame(FrameBounds{.maxHeight = kInfinity})
                       .accessibilityIdentifier("flexible"),
                   Divider().accessibilityIdentifier("divider"),
                   ScrollView(T("z")).frame(10, std::nullopt).accessibilityIdentifier("scroll")})
        .accessibilityIdentifier("row");
  };
  std::string text = "one two";
  Host h(Screen("a", row(text)), kWindow);
  for (int lines = 1; lines <= 6; ++lines) {
    EXPECT_EQ(h.frame("text").height, 12.0 * lines);
    const double height = h.frame("row").height;
    for (const char* id : {"bar", "column", "flexible", "divider", "scroll"})
      EXPECT_EQ(h.frame(id).height, height) << id << " at " << lines << " lines";
    text += " three four";
    h.host.setRoot(Screen(lines % 2 ? "ab" : "a", row(text)));
    h.host.update();
  }
  EXPECT_EQ(h.frame("row").height, 12.0 * 7);
}

// Measures its only child at `widths` distinct widths every time it is sized.
class ManyProposals final : public Layout {
 public:
  explicit ManyProposals(int widths) : widths_(widths) {}
  Size sizeThatFits(ProposedSize, const LayoutSubviews& subviews) const override {
    Size last;
    for (int w = 0; w < widths_; ++w) last = subviews[0].sizeThatFits({10.0 + w, std::nullopt});
    return last;
  }
  void placeSubviews(Rect bounds, ProposedSize, const LayoutSubviews& subviews) const override {
    subviews[0].place(bounds.origin(), UnitPoint::topLeading, {bounds.width, std::nullopt});
  }

 private:
  int widths_;
};

TEST(ViewReuse, ANodeAskedForMoreSizesThanItKeepsStillAnswersMostOfThem) {
  auto sized = std::make_shared<int>(0);
  const AnyView child = Counted(T("some words to wrap"), sized);
  auto root = [&] { return CustomLayout(std::make_shared<ManyProposals>(40), {child}); };
  Host h(root(), kWindow);
  EXPECT_EQ(*sized, 41);  // forty widths and the placement
  *sized = 0;
  h.host.setRoot(root());
  h.host.update();
  // What it keeps is bounded, but not given up in turn so that every width would miss.
  EXPECT_GT(*sized, 0);
  EXPECT_LT(*sized, 40);
}

// A size set from outside, standing for a hosted widget's font or a setting.
TEST(ViewReuse, EnvironmentChangesReachAnUnchangedSubtree) {
  const auto sized = counters(6);
  const AnyView document = Document(items(6), sized);
  auto screen = [&](double fontSize) { return Screen("a", document.font(Font::system(fontSize))); };
  Host h(screen(10), kWindow);
  h.host.setRoot(screen(14));
  h.host.update();
  EXPECT_EQ(picture(h.host), freshPicture(screen(14), kWindow));
  // The colour scheme changes what is drawn, not the layout.
  const Environment dark = Environment().with<ColorSchemeKey>(ColorScheme::dark);
  h.host.setEnvironment(dark);
  h.host.setRoot(screen(14));
  h.host.update();
  EXPECT_EQ(picture(h.host), freshPicture(screen(14), kWindow, dark));
  EXPECT_NE(picture(h.host), freshPicture(screen(14), kWindow));
}

// Shows a line more for each click; hovering draws it on a background.
struct Expander final : View {
  AnyView body(BuildContext& ctx) const override {
    auto lines = ctx.state<int>(1);
    auto hovered = ctx.state<bool>(false);
    std::vector<AnyView> rows;
    for (int i = 0; i < *lines; ++i) rows.push_back(T("line " + std::to_string(i)));
    return VStack(HAlign::leading, 0, std::move(rows))
        .background(*hovered ? std::optional<Color>(Color::blue()) : std::nullopt)
        .onTapGesture([lines] { lines.set(*lines + 1); })
        .onHover([hovered](bool inside) { hovered.set(inside); })
        .accessibilityIdentifier("expander");
  }
};

TEST(ViewReuse, StateChangesInsideAnUnchangedSubtreeLayItOutAgain) {
  const AnyView document = VStack(
      HAlign::leading, 0, {AnyView(Expander()), T("below").accessibilityIdentifier("below")});
  Host h(Screen("a", document), kWindow);
  const double below = h.frame("below").y;
  h.click("expander");
  h.host.setRoot(Screen("ab", document));
  h.host.update();
  EXPECT_EQ(h.frame("below").y, below + 12);
  const Rect e = h.frame("expander");
  h.host.pointerMoved(PointerEvent::at({e.midX(), e.midY()}));
  h.host.update();
  h.host.setRoot(Screen("a", document));
  h.host.update();
  const auto fills = h.host.render().itemsOf<DisplayItem::FillPath>();
  const Rgba blue = Color::blue().resolve(ColorScheme::light);
  EXPECT_TRUE(std::any_of(fills.begin(), fills.end(), [&](const auto& f) {
    return f.color == blue && f.path.boundingRect().height == 24;
  }));
}

// A count raised by clicks, reported up as a preference; the reader pads itself by it.
struct Reported {
  using Value = int;
  static int defaultValue() { return 0; }
  static void reduce(int& value, const int& next) { value += next; }
};
struct Reporting final : View {
  AnyView body(BuildContext& ctx) const override {
    auto count = ctx.state<int>(0);
    return T("count " + std::to_string(*count))
        .preference<Reported>(*count * 3)
        .onTapGesture([count] { count.set(*count + 1); })
        .accessibilityIdentifier("text");
  }
};
struct Padded final : View {
  AnyView body(BuildContext& ctx) const override {
    auto heard = ctx.state<int>(0);
    return AnyView(Reporting())
        .onPreferenceChange<Reported>([heard](const int& v) { heard.set(v); })
        .padding(EdgeSet(Edge::top), double(*heard));
  }
};

TEST(ViewReuse, APreferenceThatChangesBelowLaysTheReaderOutAgain) {
  const AnyView document = Padded();
  Host h(Screen("a", document), kWindow);
  const double top = h.frame("text").y;
  h.click("text");
  h.host.setRoot(Screen("ab", document));
  h.host.update();
  EXPECT_EQ(h.frame("text").y, top + 3);
  h.click("text");
  EXPECT_EQ(h.frame("text").y, top + 6);
}

// A hosted editor whose content height the test sets.
struct GrowingWidget final : HostedWidget {
  explicit GrowingWidget(double& height) : height(height) {}
  void update(const WidgetDescription&) override {}
  std::optional<Size> sizeThatFits(ProposedSize p) const override {
    return Size{p.width.value_or(100), height};
  }
  double& height;
};
struct GrowingFactory final : WidgetFactory {
  std::unique_ptr<HostedWidget> make(const Identity&, const WidgetDescription&,
                                     HostedWidgetEvents e) override {
    events = e;
    return std::make_unique<GrowingWidget>(height);
  }
  double height = 20;
  HostedWidgetEvents events;
};

TEST(ViewReuse, AHostedWidgetThatGrowsInsideAnUnchangedSubtreeIsLaidOutAgain) {
  auto factory = std::make_shared<GrowingFactory>();
  TextEditorWidget editor;
  editor.growsWithContent = true;
  const AnyView document =
      VStack(HAlign::leading, 0,
             {Representable("editor", editor), T("below").accessibilityIdentifier("below")});
  ViewHost host(Screen("a", document), std::make_shared<FakeTextMeasurer>());
  host.setWidgetFactory(factory);
  host.setProposal(kWindow);
  host.update();
  const double below = host.frameOf("below")->y;
  factory->height = 50;
  factory->events.sizeChanged();
  host.setRoot(Screen("ab", document));
  host.update();
  EXPECT_EQ(host.frameOf("below")->y, below + 30);
}

TEST(ViewReuse, ASelectionInsideAnUnchangedSubtreeIsStillDrawn) {
  const AnyView document = T("select some of these words")
                               .textSelection(TextSelectability::enabled)
                               .accessibilityIdentifier("text");
  Host h(Screen("a", document), kWindow);
  const Rect r = h.frame("text");
  h.host.pointerPressed(PointerEvent::at({r.x + 1, r.midY()}));
  h.host.pointerMoved(PointerEvent::at({r.x + 36, r.midY()}));
  h.host.pointerReleased(PointerEvent::at({r.x + 36, r.midY()}));
  h.host.update();
  const std::string selected = h.host.render().dump();
  ASSERT_TRUE(h.host.selectedText().has_value());
  h.host.setRoot(Screen("a", document));
  h.host.update();
  EXPECT_EQ(h.host.render().dump(), selected);
  EXPECT_EQ(h.host.selectedText(), "select");
}

}  // namespace
}  // namespace ui
