#include <gtest/gtest.h>

#include <map>

#include "ViewTestSupport.h"

namespace ui {
namespace {
using testing::Box;
using testing::Host;
using testing::T;

struct MaxWidth {
  using Value = double;
  static double defaultValue() { return 0; }
  static void reduce(double& acc, const double& next) { acc = std::max(acc, next); }
};

// Markers measured through a preference and framed to the widest: two passes, then settled.
struct MarkerColumn final : View {
  explicit MarkerColumn(std::vector<std::string> m) : markers(std::move(m)) {}
  std::vector<std::string> markers;
  AnyView body(BuildContext& ctx) const override {
    auto width = ctx.state<std::optional<double>>(std::nullopt);
    std::vector<AnyView> rows;
    for (std::size_t i = 0; i < markers.size(); ++i) {
      rows.push_back(T(markers[i])
                         .background(GeometryReader([](const GeometryProxy& g) {
                           return ColorView(Color::clear()).preference<MaxWidth>(g.size().width);
                         }))
                         .frame(*width, std::nullopt, Alignment::trailing)
                         .accessibilityIdentifier("m" + std::to_string(i)));
    }
    return VStack(HAlign::leading, 0, std::move(rows))
        .onPreferenceChange<MaxWidth>([width](const double& w) { width.set(w); });
  }
};

TEST(ViewPreferences, ChangeHandlersSettleWithinTheFrame) {
  Host h(MarkerColumn({"8.", "9.", "10."}));
  EXPECT_EQ(h.host.lastPassCount(), 2);
  EXPECT_EQ(h.frame("m0"), (Rect{0, 0, 18, 12}));
  EXPECT_EQ(h.frame("m2"), (Rect{0, 24, 18, 12}));
  const auto texts = h.host.render().itemsOf<DisplayItem::TextRun>();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].frame.x, 6);  // right-aligned under the widest marker
  EXPECT_FALSE(h.host.needsUpdate());
}

TEST(ViewPreferences, ReduceInTreeOrderAndTransformInnermostFirst) {
  struct Log {
    using Value = std::vector<std::string>;
    static Value defaultValue() { return {}; }
    static void reduce(Value& acc, const Value& next) {
      acc.insert(acc.end(), next.begin(), next.end());
    }
  };
  std::vector<std::string> seen;
  Host h(
      VStack({T("a").preference<Log>({"a"}), T("b").preference<Log>({"b"}).transformPreference<Log>(
                                                 [](auto& v) { v.push_back("outer"); })})
          .onPreferenceChange<Log>([&](const Log::Value& v) { seen = v; }));
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "outer"}));
}

TEST(ViewPreferences, HandlersRunOnlyOnChangeAndTheLoopIsBounded) {
  int calls = 0;
  auto tree = [&](double v) {
    return T("x").preference<MaxWidth>(v).onPreferenceChange<MaxWidth>(
        [&](const double&) { ++calls; });
  };
  Host h(tree(3));
  EXPECT_EQ(calls, 1);
  h.host.setRoot(tree(3));
  h.host.update();
  EXPECT_EQ(calls, 1);
  h.host.setRoot(tree(4));
  h.host.update();
  EXPECT_EQ(calls, 2);

  // A handler that always changes state stops after kMaxFramePasses passes and asks again.
  struct Restless final : View {
    AnyView body(BuildContext& ctx) const override {
      auto n = ctx.state<int>(0);
      return T("n")
          .preference<MaxWidth>(double(*n))
          .onPreferenceChange<MaxWidth>([n](const double&) { n.set(*n + 1); });
    }
  };
  Host r(Restless{});
  EXPECT_EQ(r.host.lastPassCount(), kMaxFramePasses);
  EXPECT_TRUE(r.host.needsUpdate());
}

// The margin-collapsing sequence: blocks report margins, the sequence pads by the larger.
struct Margin {
  std::optional<double> top, bottom;
  bool operator==(const Margin&) const = default;
};
struct MarginKey {
  using Value = Margin;
  static Value defaultValue() { return {}; }
  static void reduce(Value& acc, const Value& next) {
    auto larger = [](std::optional<double> a, std::optional<double> b) -> std::optional<double> {
      if (a && b) return std::max(*a, *b);
      return a ? a : b;
    };
    acc = {larger(acc.top, next.top), larger(acc.bottom, next.bottom)};
  }
};
struct Sequence final : View {
  explicit Sequence(std::vector<Margin> b) : blocks(std::move(b)) {}
  std::vector<Margin> blocks;
  AnyView body(BuildContext& ctx) const override {
    auto margins = ctx.state<std::map<std::size_t, Margin>>();
    std::vector<AnyView> rows;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      std::optional<double> top;
      if (i == 0) {
        top = 0;
      } else {
        auto t = margins->count(i) ? margins->at(i).top : std::nullopt;
        auto b = margins->count(i - 1) ? margins->at(i - 1).bottom : std::nullopt;
        top = (t && b) ? std::max(*t, *b) : (t ? t : b);
      }
      rows.push_back(Box(10, 10, "b" + std::to_string(i))
                         .preference<MarginKey>(blocks[i])
                         .onPreferenceChange<MarginKey>([margins, i](const Margin& m) {
                           margins.modify([&](auto& map) { map[i] = m; });
                         })
                         .padding(Edge::top, top));
    }
    return VStack(HAlign::leading, 0, std::move(rows));
  }
};

TEST(ViewPreferences, MarginsCollapseToTheLarger) {
  Host h(Sequence({{std::nullopt, 16}, {24, std::nullopt}, {std::nullopt, std::nullopt}}));
  EXPECT_EQ(h.frame("b0").y, 0);
  EXPECT_EQ(h.frame("b1").y, 10 + 24);
  EXPECT_EQ(h.frame("b2").y, 44 + kDefaultPadding);  // neither side asked
}

struct CellFrames {
  using Value = std::map<int, Anchor>;
  static Value defaultValue() { return {}; }
  static void reduce(Value& acc, const Value& next) {
    for (const auto& [k, v] : next) acc[k] = v;
  }
};

TEST(ViewPreferences, AnchorsResolveInTheReadersGeometry) {
  auto cell = [](int i, std::string text) {
    return T(std::move(text)).padding(2).anchorPreference<CellFrames>([i](const Anchor& a) {
      return CellFrames::Value{{i, a}};
    });
  };
  Host h(
      VStack(HAlign::leading, 4, {cell(0, "ab"), cell(1, "abcd")})
          .padding(3)
          .backgroundPreferenceValue<CellFrames>([](const CellFrames::Value& cells) {
            return GeometryReader([cells](const GeometryProxy& g) {
              std::vector<AnyView> marks;
              for (const auto& [i, anchor] : cells) {
                const Rect r = g[anchor];
                marks.push_back(
                    testing::Box(r.width, r.height, "mark" + std::to_string(i)).offset(r.x, r.y));
              }
              return ZStack(Alignment::topLeading, std::move(marks));
            });
          })
          .padding(10));
  EXPECT_EQ(h.host.lastPassCount(), 1);
  EXPECT_EQ(h.frame("mark0"), (Rect{13, 13, 16, 16}));
  EXPECT_EQ(h.frame("mark1"), (Rect{13, 33, 28, 16}));
}

}  // namespace
}  // namespace ui
