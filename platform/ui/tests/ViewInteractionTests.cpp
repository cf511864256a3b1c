#include <gtest/gtest.h>

#include <stdexcept>

#include "ViewTestSupport.h"

namespace ui {
namespace {
using testing::Box;
using testing::Host;
using testing::T;

TEST(ViewInteraction, DoubleClickRunsTheSingleTapFirstThenTheDoubleTap) {
  std::vector<std::string> events;
  Host h(
      Box(40, 20, "row").onTapGesture(2, [&] { events.push_back("activate"); }).onTapGesture([&] {
        events.push_back("select");
      }));
  h.host.pointerPressed(PointerEvent::at({5, 5}, 1));
  h.host.pointerReleased(PointerEvent::at({5, 5}, 1));
  h.host.pointerPressed(PointerEvent::at({5, 5}, 2));
  h.host.pointerReleased(PointerEvent::at({5, 5}, 2));
  EXPECT_EQ(events, (std::vector<std::string>{"select", "select", "activate"}));
}

TEST(ViewInteraction, KeysReachTheFocusedViewThenItsAncestorsThenTab) {
  std::vector<std::string> seen;
  auto handler = [&](std::string who, bool takes) {
    return [&seen, who, takes](const KeyEvent& e) {
      seen.push_back(who + (e.key == Key::enter ? ":enter" : ":key"));
      return takes;
    };
  };
  Host h(VStack({T("a").focusable("a").onKeyPress(handler("a", false)), T("b").focusable("b")})
             .onKeyPress(handler("root", false)));
  // Nothing focused: the root's handler still sees keys (window-wide shortcuts).
  EXPECT_FALSE(h.host.keyPressed(KeyEvent::of(Key::enter)));
  EXPECT_EQ(seen, std::vector<std::string>{"root:enter"});
  ASSERT_TRUE(h.host.focus("a"));
  seen.clear();
  EXPECT_FALSE(h.host.keyPressed(KeyEvent::of(Key::enter, {.shift = true})));
  EXPECT_EQ(seen, (std::vector<std::string>{"a:enter", "root:enter"}));
  // Unclaimed Tab moves the focus.
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::tab)));
  EXPECT_EQ(h.host.focusedId(), Identity("b"));
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::tab, {.shift = true})));
  EXPECT_EQ(h.host.focusedId(), Identity("a"));
  EXPECT_TRUE(KeyEvent::typing("C", {.control = true}).isControl('c'));
  EXPECT_FALSE(KeyEvent::typing("c", {.control = true, .alt = true}).isControl('c'));
}

// The focus belongs to an identity: a node that goes takes it along, one made anew with that
// identity (after a frame with none, or in the same frame) has it back, and keys reach it.
TEST(ViewInteraction, FocusFollowsItsIdentityAcrossRemovedAndRemadeNodes) {
  std::vector<std::string> seen;
  auto field = [&](std::string label) {
    return T(label).focusable("a").onKeyPress([&seen, label](const KeyEvent& e) {
      if (e.key != Key::enter) return false;
      seen.push_back(label);
      return true;
    });
  };
  Host h(VStack({field("first"), T("b").focusable("b")}));
  ASSERT_TRUE(h.host.focus("a"));
  h.host.setRoot(VStack({T("b").focusable("b")}));
  h.host.update();
  EXPECT_EQ(h.host.focusedId(), std::nullopt);
  EXPECT_FALSE(h.host.keyPressed(KeyEvent::of(Key::enter)));
  h.host.setRoot(VStack({T("b").focusable("b"), field("second")}));
  h.host.update();
  EXPECT_EQ(h.host.focusedId(), Identity("a"));
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::enter)));
  // Replaced by a node of another kind in one frame.
  h.host.setRoot(VStack({T("b").focusable("b"), field("third").padding(2)}));
  h.host.update();
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::enter)));
  EXPECT_EQ(seen, (std::vector<std::string>{"second", "third"}));
  // Tab moves on from the node the focus is on now.
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::of(Key::tab)));
  EXPECT_EQ(h.host.focusedId(), Identity("b"));
}

TEST(ViewInteraction, ReleasesAnywhereReachTheFocusedViewsWatcherBeforeTheirTarget) {
  std::vector<std::string> seen;
  auto watcher = [&](std::string who) {
    return [&seen, who](const PointerEvent& e, Size size) {
      seen.push_back(who + " " + std::to_string(int(e.location.x)) + "," +
                     std::to_string(int(e.location.y)) + " of " + std::to_string(int(size.width)) +
                     "x" + std::to_string(int(size.height)));
    };
  };
  Host h(
      VStack(
          HAlign::leading, 0,
          {Box(40, 20, "button").onTapGesture([&] { seen.push_back("tapped"); }),
           Box(40, 20, "field").focusable("field").onPointerReleaseWhileFocused(watcher("field"))})
          .onPointerReleaseWhileFocused(watcher("stack")));
  // Nothing focused: nobody watches.
  h.click({5, 5});
  EXPECT_EQ(seen, std::vector<std::string>{"tapped"});
  ASSERT_TRUE(h.host.focus("field"));
  seen.clear();
  // A click on the button above: the focused field hears of the release first, in its own
  // coordinates, then its ancestors; the button still gets its tap.
  h.click({5, 5});
  EXPECT_EQ(seen,
            (std::vector<std::string>{"field 5,-15 of 40x20", "stack 5,5 of 40x40", "tapped"}));
  seen.clear();
  h.host.pointerReleased(PointerEvent{{-7, 23}, PointerButton::secondary, {}, 1});
  EXPECT_EQ(seen, (std::vector<std::string>{"field -7,3 of 40x20", "stack -7,23 of 40x40"}));
  // Pressed on the other focusable view: the focus went there before the release.
  seen.clear();
  Host other(VStack(HAlign::leading, 0,
                    {Box(40, 20, "a").focusable("a").onPointerReleaseWhileFocused(watcher("a")),
                     Box(40, 20, "b").focusable("b")}));
  ASSERT_TRUE(other.host.focus("a"));
  other.click({5, 25});
  EXPECT_EQ(other.host.focusedId(), Identity("b"));
  EXPECT_TRUE(seen.empty());
}

// Two fields and a line of text; the focus binding is the model's.
struct Form final : View {
  explicit Form(std::shared_ptr<std::optional<Identity>> model) : model(std::move(model)) {}
  std::shared_ptr<std::optional<Identity>> model;
  AnyView body(BuildContext& ctx) const override {
    auto focus = ctx.state<std::optional<Identity>>(*model);
    auto binding = Binding<std::optional<Identity>>([focus] { return *focus; },
                                                    [focus, m = model](std::optional<Identity> v) {
                                                      *m = v;
                                                      focus.set(std::move(v));
                                                    });
    return VStack(
        HAlign::leading, 0,
        {T("input").focusable("input").focused(binding, 9999).accessibilityIdentifier("in"),
         T("fill").focusable("fill").focused(binding, 5).accessibilityIdentifier("fill"),
         T("plain")});
  }
};

TEST(ViewInteraction, FocusBindingFollowsClicksAndTabsAndMovesTheFocus) {
  auto model = std::make_shared<std::optional<Identity>>(Identity(9999));
  Host h{Form(model)};
  h.host.update();
  EXPECT_EQ(h.host.focusedId(), Identity("input"));  // the model's initial focus is applied
  h.click("fill");
  EXPECT_EQ(*model, std::optional<Identity>(5));
  h.host.keyPressed(KeyEvent::of(Key::tab));
  h.host.update();
  EXPECT_EQ(*model, std::optional<Identity>(9999));
  h.host.clearFocus();
  h.host.update();
  EXPECT_EQ(*model, std::nullopt);
}

struct ModelFocus final : View {
  StateRef<std::optional<Identity>>* out;
  explicit ModelFocus(StateRef<std::optional<Identity>>* o) : out(o) {}
  AnyView body(BuildContext& ctx) const override {
    auto focus = ctx.state<std::optional<Identity>>();
    *out = focus;
    return VStack({T("a").focusable("a").focused(focus.binding(), 1),
                   T("b").focusable("b").focused(focus.binding(), 2)});
  }
};

TEST(ViewInteraction, SettingTheFocusBindingMovesAndClearsTheFocus) {
  StateRef<std::optional<Identity>> focus(nullptr);
  Host h{ModelFocus(&focus)};
  EXPECT_EQ(h.host.focusedId(), std::nullopt);
  focus.set(2);
  h.host.update();
  EXPECT_EQ(h.host.focusedId(), Identity("b"));
  focus.set(1);
  h.host.update();
  EXPECT_EQ(h.host.focusedId(), Identity("a"));
  focus.set(std::nullopt);
  h.host.update();
  EXPECT_EQ(h.host.focusedId(), std::nullopt);
}

// A widget factory that records the life of its widgets and reports a settable height.
struct Recorder {
  std::vector<std::string> events;
  double height = 20;
  HostedWidgetEvents last;
};
class RecordingWidget final : public HostedWidget {
 public:
  RecordingWidget(Recorder& r, std::string id) : r_(r), id_(std::move(id)) {
    r_.events.push_back("make " + id_);
  }
  ~RecordingWidget() override { r_.events.push_back("destroy " + id_); }
  void update(const WidgetDescription& d) override {
    r_.events.push_back("update " + id_ + " " + std::get<TextEditorWidget>(d).text.get());
  }
  std::optional<Size> sizeThatFits(ProposedSize p) const override {
    return Size{p.width.value_or(100), r_.height};
  }
  void setFocused(bool f) override { r_.events.push_back((f ? "focus " : "blur ") + id_); }

 private:
  Recorder& r_;
  std::string id_;
};
class RecordingFactory final : public WidgetFactory {
 public:
  explicit RecordingFactory(Recorder& r) : r_(r) {}
  std::unique_ptr<HostedWidget> make(const Identity& id, const WidgetDescription&,
                                     HostedWidgetEvents events) override {
    r_.last = events;
    return std::make_unique<RecordingWidget>(r_, id.description());
  }

 private:
  Recorder& r_;
};

AnyView Editor(std::string text, bool shown) {
  TextEditorWidget editor;
  editor.text = Binding<std::string>::constant(std::move(text));
  editor.growsWithContent = true;
  return VStack(HAlign::leading, 0,
                {If(shown, Representable("cmd", editor).accessibilityIdentifier("editor")),
                 Box(10, 10, "below").focusable("other")});
}

TEST(ViewInteraction, HostedWidgetsAreMadeUpdatedSizedFocusedAndDestroyedPerNode) {
  Recorder r;
  ViewHost host(Editor("a", true), std::make_shared<FakeTextMeasurer>());
  host.setWidgetFactory(std::make_shared<RecordingFactory>(r));
  host.setProposal({200, {}});
  host.update();
  EXPECT_EQ(host.frameOf("below")->y, 20);
  host.setRoot(Editor("ab", true));
  host.update();
  // The widget grows: the layout follows once it says so.
  r.height = 40;
  r.last.sizeChanged();
  EXPECT_TRUE(host.needsUpdate());
  host.update();
  EXPECT_EQ(host.frameOf("below")->y, 40);
  // A click into the widget gives it the layer's focus; Tab takes it away.
  r.last.focusTaken();
  EXPECT_EQ(host.focusedId(), Identity("cmd"));
  host.keyPressed(KeyEvent::of(Key::tab));
  EXPECT_EQ(host.focusedId(), Identity("other"));
  const auto placed = host.render().itemsOf<DisplayItem::PlaceWidget>();
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_NE(placed[0].widget, nullptr);
  host.setRoot(Editor("ab", false));
  host.update();
  EXPECT_EQ(r.events,
            (std::vector<std::string>{"make \"cmd\"", "update \"cmd\" ab", "focus \"cmd\"",
                                      "blur \"cmd\"", "destroy \"cmd\""}));
  r.last.sizeChanged();  // after the node went: nothing happens
}

TEST(ViewInteraction, ScrollToAnIdentityMovesTheLeast) {
  std::optional<ScrollViewProxy> proxy;
  std::vector<AnyView> rows;
  for (int i = 0; i < 20; ++i) rows.push_back(Box(50, 20, "row" + std::to_string(i)).id(i));
  Host h(ScrollViewReader([&](ScrollViewProxy p) {
           proxy = p;
           return ScrollView(VStack(HAlign::leading, 0, rows)).accessibilityIdentifier("scroll");
         }),
         {50, 100});
  ASSERT_TRUE(proxy);
  proxy->scrollTo(7);  // below: its bottom comes to the viewport's bottom
  h.host.update();
  EXPECT_EQ(h.frame("row7").y, 80);
  proxy->scrollTo(5);  // visible: nothing moves
  h.host.update();
  EXPECT_EQ(h.frame("row7").y, 80);
  proxy->scrollTo(2);  // above: its top comes to the top
  h.host.update();
  EXPECT_EQ(h.frame("row2").y, 0);
  proxy->scrollTo(10, UnitPoint::center);
  h.host.update();
  EXPECT_EQ(h.frame("row10").y, 40);
  proxy->scrollTo(19, UnitPoint::top);  // clamped at the end
  h.host.update();
  EXPECT_EQ(h.frame("row19").y, 80);
  proxy->scrollTo(99);  // unknown: nothing
  h.host.update();
  EXPECT_EQ(h.frame("row19").y, 80);
}

// 20 rows of 20 in a viewport of 100: the indicator is 25 long and runs down a track of 75
// while the content scrolls by 300. It takes presses in front of the rows where it is drawn.
TEST(ViewInteraction, TheScrollIndicatorDragsTheContentAndStandsInFrontOfItsRows) {
  std::vector<std::string> taps;
  std::vector<AnyView> rows;
  for (int i = 0; i < 20; ++i)
    rows.push_back(Box(50, 20, "row" + std::to_string(i)).onTapGesture([&taps, i] {
      taps.push_back("tap " + std::to_string(i));
    }));
  Host h(ScrollView(VStack(HAlign::leading, 0, rows)), {50, 100});
  const double right = 49;

  // Held a third of the way down the indicator, it keeps that hold as it is dragged.
  EXPECT_TRUE(h.host.pointerPressed(PointerEvent::at({right, 8})));
  h.host.pointerMoved(PointerEvent::at({right, 8 + 37.5}));
  h.host.update();
  EXPECT_DOUBLE_EQ(h.frame("row0").y, -150);
  h.host.pointerMoved(PointerEvent::at({right, 400}));  // past the end: the end
  h.host.update();
  EXPECT_DOUBLE_EQ(h.frame("row19").y, 80);
  h.host.pointerReleased(PointerEvent::at({right, 400}));
  EXPECT_TRUE(taps.empty()) << "a row under the indicator took the press";

  // Away from the indicator, at the end of the track, and beside the strip, the rows take
  // presses as before.
  h.click({right, 10});
  h.click({10, 30});
  h.host.update();
  EXPECT_DOUBLE_EQ(h.frame("row19").y, 80);
  EXPECT_EQ(taps, (std::vector<std::string>{"tap 15", "tap 16"}));
}

TEST(ViewInteraction, AScrollViewWhoseContentFitsOrThatHidesItsIndicatorsTakesNoPress) {
  std::vector<AnyView> rows;
  for (int i = 0; i < 20; ++i) rows.push_back(Box(50, 20, "row" + std::to_string(i)));
  Host fits(ScrollView(VStack(HAlign::leading, 0, {Box(50, 20, "only")})), {50, 100});
  EXPECT_FALSE(fits.host.pointerPressed(PointerEvent::at({49, 10})));
  Host hidden(ScrollView(ScrollAxes::vertical, false, VStack(HAlign::leading, 0, rows)), {50, 100});
  EXPECT_FALSE(hidden.host.pointerPressed(PointerEvent::at({49, 10})));
  // Nothing takes a press beside the strip: it goes on to the window (the panel moves by it).
  Host shown(ScrollView(VStack(HAlign::leading, 0, rows)), {50, 100});
  EXPECT_FALSE(shown.host.pointerPressed(PointerEvent::at({10, 10})));
  EXPECT_TRUE(shown.host.pointerPressed(PointerEvent::at({49, 10})));
}

TEST(ViewInteraction, ClippedViewsAreNeitherHoveredNorPressed) {
  std::vector<std::string> events;
  std::vector<AnyView> rows;
  for (int i = 0; i < 5; ++i)
    rows.push_back(Box(50, 20, "r" + std::to_string(i))
                       .onHover([&, i](bool in) {
                         if (in) events.push_back("hover " + std::to_string(i));
                       })
                       .onTapGesture([&, i] { events.push_back("tap " + std::to_string(i)); }));
  // The scroll view shows rows 0 and 1; row 2 lies under the box below it.
  Host h(
      VStack(HAlign::leading, 0,
             {ScrollView(VStack(HAlign::leading, 0, rows)).frame(50, 40), Box(50, 20, "below")}));
  h.host.pointerMoved(PointerEvent::at({10, 50}));
  h.click({10, 50});
  EXPECT_TRUE(events.empty()) << events.front();
  h.host.pointerMoved(PointerEvent::at({10, 30}));
  EXPECT_EQ(events, std::vector<std::string>{"hover 1"});
}

TEST(ViewInteraction, CursorShowsAHandOverButtonsAndLinks) {
  AttributeContainer a;
  a.link = foundation::URL::parse("https://example.com");
  Host h(VStack(HAlign::leading, 0,
                {Button([] {}, T("Go")),
                 AnyView(Text::attributed(AttributedString("see ") + AttributedString("docs", a)))
                     .font(Font::system(10))}));
  EXPECT_EQ(h.host.cursorAt({10, 5}), CursorShape::pointingHand);
  const double textY = h.host.rootSize().height - 6;
  EXPECT_EQ(h.host.cursorAt({3, textY}), CursorShape::arrow);
  EXPECT_EQ(h.host.cursorAt({30, textY}), CursorShape::pointingHand);
}

struct Fickle final : View {
  std::shared_ptr<bool> flag;
  explicit Fickle(std::shared_ptr<bool> f) : flag(std::move(f)) {}
  AnyView body(BuildContext& ctx) const override {
    if (*flag) return T(std::to_string(*ctx.state<int>(1)));
    return T(*ctx.state<std::string>("one"));
  }
};

TEST(ViewInteraction, StateReadAsAnotherTypeFailsLoudly) {
  auto flag = std::make_shared<bool>(false);
  Host h{Fickle(flag)};
  *flag = true;
  h.host.setRoot(Fickle(flag));
  EXPECT_THROW(h.host.update(), std::logic_error);
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

TEST(ViewInteraction, MeasuringAtOtherSizesKeepsTheFrameAsItWas) {
  // A window asks for its minimum and ideal sizes between frames; what it draws must not
  // change (a text's drawn layout used to be evicted by the extra measurements).
  testing::Host h(
      HStack(VAlign::firstLineCenter, 4, {testing::T("Continue"), testing::T("a longer label")}),
      {200, 40});
  const std::string before = h.host.render().dump();
  for (double w : {0.0, 10.0, 30.0, 50.0, 70.0, 90.0}) h.host.sizeThatFits({w, std::nullopt});
  h.host.sizeThatFits({});
  EXPECT_EQ(h.host.render().dump(), before);
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

TEST(ViewInteraction, SelectableTextIsSelectedByDragAndDoubleClickAndCopied) {
  std::vector<std::string> copied;
  std::vector<std::string> opened;
  AttributeContainer link;
  link.link = foundation::URL::parse("https://example.com");
  testing::Host h(
      VStack(HAlign::leading, 0,
             {AnyView(Text::verbatim("hello brave world"))
                  .font(Font::system(10))
                  .textSelection(TextSelectability::enabled)
                  .accessibilityIdentifier("a"),
              AnyView(Text::attributed(AttributedString("see ") + AttributedString("docs", link)))
                  .font(Font::system(10))
                  .textSelection(TextSelectability::enabled)
                  .environment<OpenURLKey>(OpenURLAction(
                      [&](const foundation::URL& u) { opened.push_back(u.absoluteString()); }))}),
      {300, {}});
  h.host.setCopyHandler([&](const std::string& s) { copied.push_back(s); });
  EXPECT_EQ(h.host.cursorAt({10, 5}), CursorShape::iBeam);
  // Drag from the "b" of "brave" (x 36) to the end of "brave" (x 66).
  h.host.pointerPressed(PointerEvent::at({37, 5}));
  h.host.pointerMoved(PointerEvent::at({65, 5}));
  h.host.pointerReleased(PointerEvent::at({65, 5}));
  h.host.update();
  EXPECT_EQ(h.host.selectedText(), std::optional<std::string>("brave"));
  EXPECT_TRUE(h.host.keyPressed(KeyEvent::typing("c", {.control = true})));
  EXPECT_EQ(copied, std::vector<std::string>{"brave"});
  EXPECT_FALSE(h.host.render().itemsOf<DisplayItem::FillPath>().empty());  // the highlight
  // A double-click takes the word under it.
  h.host.pointerPressed(PointerEvent::at({100, 5}, 1));
  h.host.pointerReleased(PointerEvent::at({100, 5}, 1));
  h.host.pointerPressed(PointerEvent::at({100, 5}, 2));
  h.host.pointerReleased(PointerEvent::at({100, 5}, 2));
  EXPECT_EQ(h.host.selectedText(), std::optional<std::string>("world"));
  // Pressing in the other text clears this selection; a click on its link still opens it.
  h.click({30, 18});
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.com"});
  EXPECT_EQ(h.host.selectedText(), std::nullopt);
  EXPECT_FALSE(h.host.keyPressed(KeyEvent::typing("c", {.control = true})));
}

}  // namespace
}  // namespace ui
