#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ViewTestSupport.h"

namespace ui {
namespace {
using testing::Counted;
using testing::Host;
using testing::T;

std::vector<std::string> texts(const DisplayList& list) {
  std::vector<std::string> out;
  for (const auto& run : list.itemsOf<DisplayItem::TextRun>()) out.push_back(run.text);
  return out;
}

TEST(ViewBackstage, OnlyTheFrontIsDrawnHitFocusedAndFound) {
  std::vector<std::string> taps;
  auto tappable = [&](std::string text, std::string id) {
    return T(text)
        .onTapGesture([&taps, text] { taps.push_back(text); })
        .focusable(Identity(id))
        .accessibilityIdentifier(id);
  };
  // The back is wider than the front: a click beside the front lands where only it lies.
  Host h(VStack(HAlign::leading, 0,
                {Backstage(tappable("front", "f"), tappable("the back, wider", "b")),
                 tappable("below", "below")}),
         {200, {}});
  EXPECT_EQ(texts(h.host.render()), (std::vector<std::string>{"front", "below"}));
  EXPECT_EQ(h.host.dump().find("back"), std::string::npos) << h.host.dump();
  EXPECT_FALSE(h.host.frameOf("b").has_value());
  EXPECT_EQ(h.frame("f"), (Rect{0, 0, 30, 12}));
  EXPECT_EQ(h.frame("below").y, 12);  // the stage is as large as the front
  h.click({50, 6});
  h.click({10, 6});
  EXPECT_EQ(taps, (std::vector<std::string>{"front"}));
  EXPECT_FALSE(h.host.focus(Identity("b")));
  EXPECT_TRUE(h.host.focusNext());
  EXPECT_EQ(h.host.focusedId(), Identity("below"));
  EXPECT_TRUE(h.host.focusNext());
  EXPECT_EQ(h.host.focusedId(), Identity("f"));
}

// Keeps a count in state and shows it; hands its state out.
struct Probe final : View {
  explicit Probe(std::shared_ptr<std::optional<StateRef<int>>> out, std::shared_ptr<int> sized)
      : out(std::move(out)), sized(std::move(sized)) {}
  std::shared_ptr<std::optional<StateRef<int>>> out;
  std::shared_ptr<int> sized;
  AnyView body(BuildContext& ctx) const override {
    auto count = ctx.state<int>(0);
    *out = count;
    std::vector<AnyView> lines;
    for (int i = 0; i < 20; ++i) lines.push_back(T("line " + std::to_string(i) + " of the next"));
    return Counted(VStack(HAlign::leading, 0, std::move(lines)), sized)
        .overlay(T("count " + std::to_string(*count)), Alignment::topTrailing);
  }
};

TEST(ViewBackstage, TheBackComesToTheFrontLaidOutAndWithItsState) {
  auto state = std::make_shared<std::optional<StateRef<int>>>();
  auto sized = std::make_shared<int>(0);
  const AnyView next = AnyView(Probe(state, sized)).id("next");
  auto stage = [&](bool swapped) {
    return swapped ? Backstage(next, {}) : Backstage(T("streaming"), next);
  };
  Host h(stage(false), {200, {}});
  ASSERT_TRUE(state->has_value());
  (*state)->set(3);
  h.host.update();
  EXPECT_GT(*sized, 0);
  *sized = 0;
  h.host.resetStats();
  h.host.setRoot(stage(true));
  h.host.update();
  // Nothing of it was built or measured again: only the stage above it.
  EXPECT_EQ(*sized, 0);
  EXPECT_EQ(h.host.stats().nodesCreated, 0u);
  const auto shown = texts(h.host.render());
  EXPECT_NE(std::find(shown.begin(), shown.end(), "count 3"), shown.end());
  EXPECT_EQ(std::find(shown.begin(), shown.end(), "streaming"), shown.end());
  EXPECT_EQ(h.host.rootSize().height, 240);
}

TEST(ViewBackstage, TheStageLooksExactlyAsItsFrontAlone) {
  auto front = [] {
    return VStack(HAlign::leading, 4, {T("a heading"), T("some words that wrap at the width")})
        .padding(6)
        .background(Color::gray());
  };
  Host alone(VStack({T("above"), front(), T("below")}), {80, {}});
  Host staged(VStack({T("above"), Backstage(front(), T("the next, much longer than the front")),
                      T("below")}),
              {80, {}});
  EXPECT_EQ(staged.host.render().dump(), alone.host.render().dump());
  EXPECT_EQ(staged.host.rootSize(), alone.host.rootSize());
}

struct Total {
  using Value = int;
  static int defaultValue() { return 0; }
  static void reduce(int& value, const int& next) { value += next; }
};

TEST(ViewBackstage, TheBacksPreferencesReachItsOwnReadersButNoFurther) {
  int above = -1, inside = -1;
  Host h(Backstage(T("front").preference<Total>(1),
                   T("back").preference<Total>(10).onPreferenceChange<Total>(
                       [&](const int& v) { inside = v; }))
             .onPreferenceChange<Total>([&](const int& v) { above = v; }),
         {100, {}});
  EXPECT_EQ(inside, 10);
  EXPECT_EQ(above, 1);
}

}  // namespace
}  // namespace ui
