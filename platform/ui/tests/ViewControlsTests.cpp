#include <gtest/gtest.h>

#include <cmath>

#include "ViewTestSupport.h"

namespace ui {
namespace {
using testing::Box;
using testing::Host;
using testing::T;

TEST(ViewControls, ButtonFiresOnReleaseInsideAndShowsItsPress) {
  int fired = 0;
  Host h(
      VStack(HAlign::leading, 0,
             {Button([&] { ++fired; }, T("Copy")).accessibilityIdentifier("b"), Box(50, 50, "x")}),
      {200, {}});
  const Rect b = h.frame("b");
  EXPECT_EQ(b, (Rect{0, 0, 24 + 2 * kButtonHorizontalPadding, 12 + 2 * kButtonVerticalPadding}));
  h.host.pointerPressed(PointerEvent::at({b.midX(), b.midY()}));
  EXPECT_NE(h.host.dump().find("Button"), std::string::npos);
  EXPECT_NE(h.host.dump().find("pressed"), std::string::npos);
  h.host.pointerMoved(PointerEvent::at({10, 40}));  // dragged out: no longer pressed
  EXPECT_EQ(h.host.dump().find("pressed"), std::string::npos);
  h.host.pointerReleased(PointerEvent::at({10, 40}));
  EXPECT_EQ(fired, 0);
  h.click({b.midX(), b.midY()});
  EXPECT_EQ(fired, 1);
  // Disabled buttons take no clicks, and look it.
  EXPECT_TRUE(h.host.render().itemsOf<DisplayItem::PushOpacity>().empty());
  Host d(Button([&] { ++fired; }, T("Copy")).disabled(true));
  d.click({5, 5});
  EXPECT_EQ(fired, 1);
  const auto dimmed = d.host.render().itemsOf<DisplayItem::PushOpacity>();
  ASSERT_EQ(dimmed.size(), 1u);
  EXPECT_EQ(dimmed[0].opacity, kDisabledControlOpacity);
  Host t(Toggle(Binding<bool>::constant(false), T("Wrap")).disabled(true));
  ASSERT_EQ(t.host.render().itemsOf<DisplayItem::PushOpacity>().size(), 1u);
}

// Among selectable text, a button's label is no text to select: a press on it presses it.
TEST(ViewControls, AButtonAmongSelectableTextTakesThePressOnItsLabel) {
  int fired = 0;
  Host h(VStack(HAlign::leading, 0,
                {T("Some selectable words"),
                 Button([&] { ++fired; }, T("Copy")).accessibilityIdentifier("b")})
             .textSelection(TextSelectability::enabled),
         {200, {}});
  const Rect b = h.frame("b");
  h.click({b.midX(), b.midY()});
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(h.host.selectedText(), std::nullopt);
}

TEST(ViewControls, PlainButtonKeepsItsLabelAndDimsWhilePressed) {
  Host h(Button([] {}, T("ab")).buttonStyle(ButtonStyle::plain));
  EXPECT_EQ(h.host.rootSize(), (Size{12, 12}));
  h.host.pointerPressed(PointerEvent::at({3, 3}));
  const auto list = h.host.render();
  ASSERT_EQ(list.itemsOf<DisplayItem::PushOpacity>().size(), 1u);
  EXPECT_EQ(list.itemsOf<DisplayItem::PushOpacity>()[0].opacity, kPlainButtonPressedOpacity);
  EXPECT_TRUE(list.itemsOf<DisplayItem::FillPath>().empty());
}

struct Settings final : View {
  AnyView body(BuildContext& ctx) const override {
    auto on = ctx.state<bool>(false);
    return VStack(HAlign::leading, 0,
                  {Toggle(on.binding(), T("Wrap")).focusable("wrap").accessibilityIdentifier("t"),
                   T(*on ? "on" : "off"), T("x").focusable("other")});
  }
};

TEST(ViewControls, ToggleFlipsItsBindingByClickAndSpace) {
  Host h(Settings{});
  EXPECT_EQ(h.frame("t").height, kToggleBoxSize);
  h.click("t");
  EXPECT_NE(h.host.dump().find("\"on\""), std::string::npos);
  EXPECT_EQ(h.host.focusedId(), Identity("wrap"));
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::typing(" ")));
  h.host.update();
  EXPECT_NE(h.host.dump().find("\"off\""), std::string::npos);
  // Tab moves focus through the focusable views in tree order, round.
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::tab)));
  EXPECT_EQ(h.host.focusedId(), Identity("other"));
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::tab)));
  EXPECT_EQ(h.host.focusedId(), Identity("wrap"));
  EXPECT_FALSE(h.host.focus("missing"));
}

// A form like the settings window's: painted controls between two that are hosted.
struct Form final : View {
  AnyView body(BuildContext& ctx) const override {
    auto on = ctx.state<bool>(false);
    auto pressed = ctx.state<int>(0);
    return VStack(
        HAlign::leading, 4,
        {Button("Open", [pressed] { pressed.set(*pressed + 1); })
             .focusable("open")
             .accessibilityIdentifier("open"),
         TextField("key", "Key", Binding<std::string>::constant({})),
         Toggle(on.binding(), T("Wrap")).focusable("wrap").accessibilityIdentifier("wrap"),
         Button("Never", [] {}).focusable("never").disabled(true),
         T(std::to_string(*pressed) + (*on ? " on" : " off")).accessibilityIdentifier("state")});
  }
};

std::vector<std::string> tabOrder(ViewHost& host, bool backward, int steps) {
  std::vector<std::string> order;
  for (int i = 0; i < steps; ++i) {
    EXPECT_TRUE(host.keyPressed(KeyEvent::of(Key::tab, {.shift = backward})));
    host.update();
    order.push_back(host.focusedId() ? host.focusedId()->description() : "none");
  }
  return order;
}

TEST(ViewControls, TabGoesThroughPaintedAndHostedControlsInReadingOrderBothWays) {
  Host h(Form{}, {300, {}});
  using Order = std::vector<std::string>;
  EXPECT_EQ(tabOrder(h.host, false, 4), (Order{"\"open\"", "\"key\"", "\"wrap\"", "\"open\""}));
  EXPECT_EQ(tabOrder(h.host, true, 3), (Order{"\"wrap\"", "\"key\"", "\"open\""}));
  // Space and Return work the focused button and check box; other keys pass by.
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::enter)));
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::typing(" ")));
  EXPECT_FALSE(h.host.keyPressed(KeyEvent::of(Key::enter, {.control = true})));
  h.host.update();
  EXPECT_NE(h.host.dump().find("\"2 off\""), std::string::npos) << h.host.dump();
  h.host.focus("wrap");
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::enter)));
  h.host.update();
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::typing(" ")));
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::typing(" ")));
  h.host.update();
  EXPECT_NE(h.host.dump().find("\"2 on\""), std::string::npos) << h.host.dump();
}

TEST(ViewControls, OnlyTheFocusedPaintedControlHasARingJustOutsideIt) {
  Host h(Form{}, {300, {}});
  auto near = [](Rect a, Rect b) {
    return std::abs(a.x - b.x) < 1e-6 && std::abs(a.y - b.y) < 1e-6 &&
           std::abs(a.width - b.width) < 1e-6 && std::abs(a.height - b.height) < 1e-6;
  };
  auto rings = [&] {
    std::vector<Rect> out;
    for (const auto& s : h.host.render().itemsOf<DisplayItem::StrokePath>())
      if (s.style.lineWidth == kFocusRingWidth) out.push_back(s.path.boundingRect());
    return out;
  };
  EXPECT_TRUE(rings().empty());
  h.host.focus("wrap");
  h.host.update();
  const Rect wrap = h.frame("wrap");
  const double d = kFocusRingOutset + kFocusRingWidth / 2;
  ASSERT_EQ(rings().size(), 1u);
  EXPECT_TRUE(near(rings()[0], wrap.insetBy(-d, -d)));
  // Outside the control's own bounds, and still drawn where only the ring shows.
  const auto clipped = h.host.render(Rect{0, wrap.y - d - 0.5, 300, 1});
  EXPECT_FALSE(clipped.itemsOf<DisplayItem::StrokePath>().empty());
  h.host.focus("open");
  h.host.update();
  ASSERT_EQ(rings().size(), 1u);
  EXPECT_TRUE(near(rings()[0], h.frame("open").insetBy(-d, -d)));
  // A hosted field draws its own ring.
  h.host.focus("key");
  h.host.update();
  EXPECT_TRUE(rings().empty());
}

TEST(ViewControls, HoverEntersAndLeaves) {
  std::vector<bool> events;
  Host h(
      VStack(HAlign::leading, 0,
             {Box(20, 20, "a").onHover([&](bool in) { events.push_back(in); }), Box(20, 20, "b")}));
  h.host.pointerMoved(PointerEvent::at({5, 5}));
  h.host.pointerMoved(PointerEvent::at({6, 6}));
  h.host.pointerMoved(PointerEvent::at({5, 30}));
  EXPECT_EQ(events, (std::vector<bool>{true, false}));
}

TEST(ViewControls, OverlaysAreHitFirst) {
  std::string hit;
  Host h(
      Box(40, 40, "under")
          .onTapGesture([&] { hit = "under"; })
          .overlay(Box(10, 10, "over").onTapGesture([&] { hit = "over"; }), Alignment::topLeading));
  h.click({5, 5});
  EXPECT_EQ(hit, "over");
  h.click({30, 30});
  EXPECT_EQ(hit, "under");
}

TEST(ViewControls, LinksOpenThroughTheEnvironmentAction) {
  std::vector<std::string> opened;
  AttributeContainer a;
  a.link = foundation::URL::parse("https://example.com/docs");
  const AttributedString link = AttributedString("see ") + AttributedString("docs", a);
  Host h(AnyView(Text::attributed(link))
             .font(Font::system(10))
             .environment<OpenURLKey>(OpenURLAction(
                 [&](const foundation::URL& u) { opened.push_back(u.absoluteString()); })));
  h.click({3, 6});  // "s"
  EXPECT_TRUE(opened.empty());
  h.click({30, 6});  // "d" of "docs"
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.com/docs"});
  // The link is drawn in the tint colour.
  const auto runs = h.host.render().itemsOf<DisplayItem::TextRun>();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].text, "docs");
  EXPECT_EQ(runs[1].color, Color::accent().resolve(ColorScheme::light));
  EXPECT_EQ(runs[0].color, Color::primary().resolve(ColorScheme::light));
}

TEST(ViewControls, DisplayListCarriesTextShapesImagesAndWidgets) {
  Host h(VStack(HAlign::leading, 0,
                {T("hi").foregroundColor(Color::red()), Divider(),
                 SystemImage("checkmark").font(Font::system(10)),
                 TextField("query", "Search", Binding<std::string>::constant("")),
                 RoundedRectangle(4).strokeBorder(Color::gray(), 2).frame(20, 10)}),
         {120, {}});
  h.host.setEnvironment(Environment().with<ColorSchemeKey>(ColorScheme::dark));
  h.host.update();
  const auto list = h.host.render();
  const auto text = list.itemsOf<DisplayItem::TextRun>();
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0].frame, (Rect{0, 0, 12, 12}));
  EXPECT_EQ(text[0].baseline, 8);
  EXPECT_EQ(text[0].font.size, 10);
  EXPECT_EQ(text[0].color, Color::red().resolve(ColorScheme::dark));
  const auto widgets = list.itemsOf<DisplayItem::PlaceWidget>();
  ASSERT_EQ(widgets.size(), 1u);
  EXPECT_EQ(widgets[0].frame, (Rect{0, 23, 120, 22}));
  const auto strokes = list.itemsOf<DisplayItem::StrokePath>();
  ASSERT_EQ(strokes.size(), 1u);
  EXPECT_EQ(strokes[0].path.boundingRect(), (Rect{1, 46, 18, 8}));
  const auto fills = list.itemsOf<DisplayItem::FillPath>();
  ASSERT_GE(fills.size(), 2u);
  EXPECT_EQ(fills[0].color, Color::separator().resolve(ColorScheme::dark));  // the divider
  EXPECT_NE(list.dump().find("widget \"query\" (0, 23, 120, 22)"), std::string::npos)
      << list.dump();
  EXPECT_NE(h.host.dump().find("Image (0, 13, "), std::string::npos) << h.host.dump();
}

TEST(ViewControls, ColoursResolveInTheSchemeTheirContentIsGiven) {
  // A dark part of a window on a light desktop, beside text that follows the desktop.
  Host h(
      VStack(HAlign::leading, 0,
             {VStack(HAlign::leading, 0, {T("inside"), Divider(), T("tinted").tint(Color::red())})
                  .environment<ColorSchemeKey>(ColorScheme::dark),
              T("outside"), Divider()}),
      {120, {}});
  h.host.setEnvironment(Environment().with<ColorSchemeKey>(ColorScheme::light));
  h.host.update();
  const auto list = h.host.render();
  const auto text = list.itemsOf<DisplayItem::TextRun>();
  ASSERT_EQ(text.size(), 3u);
  EXPECT_EQ(text[0].color, Color::primary().resolve(ColorScheme::dark));
  EXPECT_EQ(text[1].color, Color::primary().resolve(ColorScheme::dark))
      << "a modifier inside the dark part keeps its scheme";
  EXPECT_EQ(text[2].color, Color::primary().resolve(ColorScheme::light));
  const auto fills = list.itemsOf<DisplayItem::FillPath>();
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].color, Color::separator().resolve(ColorScheme::dark));
  EXPECT_EQ(fills[1].color, Color::separator().resolve(ColorScheme::light));
}

TEST(ViewControls, AccessibilityLabelsAreFound) {
  Host h(SystemImage("checkmark").accessibilityLabel("").accessibilityIdentifier("img"));
  EXPECT_EQ(h.host.accessibilityLabelOf("img"), std::optional<std::string>(""));
  EXPECT_EQ(h.host.accessibilityLabelOf("none"), std::nullopt);
}

}  // namespace
}  // namespace ui
