#include <gtest/gtest.h>

#include <limits>

#include "StylingProbe.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/RelativeModifiers.h"

namespace markdown {
namespace {

using testing::Layout;
using testing::Seen;
using ui::Font;

Seen seenIn(const std::function<ui::AnyView(const ui::AnyView&)>& wrap) {
  auto seen = std::make_shared<Seen>();
  Layout layout(wrap(testing::probe(seen)));
  return *seen;
}

TEST(MarkdownEnvironment, Defaults) {
  const ui::Environment env;
  EXPECT_FALSE(env.get<BaseURLKey>());
  EXPECT_FALSE(env.get<ImageBaseURLKey>());
  EXPECT_EQ(listLevel(env), 0);
  EXPECT_FALSE(tightSpacingEnabled(env));
  EXPECT_EQ(env.get<CodeSyntaxHighlighterKey>()->highlightCode("*a* %d `b`", "swift"),
            ui::Text::verbatim("*a* %d `b`"));

  const TableBorderStyle& border = env.get<TableBorderStyleKey>();
  EXPECT_EQ(border.color, ui::Color::secondary());
  EXPECT_EQ(border.strokeStyle, ui::StrokeStyle{});
  const TableBounds t{{0, 0, 103, 43}, {{1, 20}, {22, 20}}, {{1, 50}, {52, 50}}};
  EXPECT_EQ(border.visibleBorders.rectangles(t, 1),
            TableBorderSelector::allBorders().rectangles(t, 1));
  EXPECT_EQ(env.get<TableBackgroundStyleKey>().background(3, 1), ui::Color::clear());

  const ui::AttributeContainer text = collectedAttributes(env.get<TextStyleKey>());
  EXPECT_EQ(*text.get<FontPropertiesAttribute>(), FontProperties{});
  EXPECT_TRUE(env.get<ThemeKey>().heading(1).sharesBody(Theme::basic().heading(1)));
  EXPECT_FALSE(env.get<ImageProviderKey>().makeImage(std::nullopt));
}

TEST(MarkdownEnvironment, OnlyTheTextStyleComposes) {
  const Seen pointsOutside = seenIn([](const ui::AnyView& v) {
    return markdownTextStyle(markdownTextStyle(v, FontSize(RelativeSize::em(2))), FontSize(16));
  });
  EXPECT_EQ(pointsOutside.size(), 32);
  const Seen pointsInside = seenIn([](const ui::AnyView& v) {
    return markdownTextStyle(markdownTextStyle(v, FontSize(16)), FontSize(RelativeSize::em(2)));
  });
  EXPECT_EQ(pointsInside.size(), 16);
  const Seen both = seenIn([](const ui::AnyView& v) {
    return markdownTextStyle(markdownTextStyle(v, FontWeight(Font::Weight::bold)),
                             ForegroundColor(ui::Color::red()));
  });
  EXPECT_EQ(both.weight(), Font::Weight::bold);
  EXPECT_EQ(both.attributes.foregroundColor, ui::Color::red());
}

TEST(MarkdownEnvironment, NearestThemeSettingWins) {
  const AnyTextStyle mine = std::make_shared<const FontSize>(40);
  const Seen slotInside = seenIn([&](const ui::AnyView& v) {
    return markdownTheme(markdownTextStyle(v, TextSlot::code, mine), Theme::forge());
  });
  const Theme& inside = slotInside.environment.get<ThemeKey>();
  EXPECT_EQ(inside.code(), mine);
  EXPECT_EQ(inside.text(), Theme::forge().text());
  EXPECT_TRUE(inside.heading(2).sharesBody(Theme::forge().heading(2)));

  const Seen themeInside = seenIn([&](const ui::AnyView& v) {
    return markdownTextStyle(markdownTheme(v, Theme::forge()), TextSlot::code, mine);
  });
  EXPECT_EQ(themeInside.environment.get<ThemeKey>().code(), Theme::forge().code());

  const auto upper = BlockStyle<ListMarkerConfiguration>::upperRoman();
  const Seen markers = seenIn([&](const ui::AnyView& v) {
    return markdownNumberedListMarker(
        markdownBulletedListMarker(v, BlockStyle<ListMarkerConfiguration>::dash()), upper);
  });
  EXPECT_TRUE(markers.environment.get<ThemeKey>().numberedListMarker().sharesBody(upper));
}

TEST(MarkdownEnvironment, ApplyBlockStyleReadsTheThemeWhereTheBlockIs) {
  auto seen = std::make_shared<Seen>();
  const ui::AnyView block =
      ApplyBlockStyle(themeSlot(BlockSlot::paragraph), BlockConfiguration{{testing::probe(seen)}});
  const ui::AnyView styled =
      markdownBlockStyle(block, BlockSlot::paragraph, [](const BlockConfiguration::Label& label) {
        return label.body.padding(ui::Edge::leading, 7);
      });
  Layout layout(styled);
  EXPECT_TRUE(seen->evaluated);
  EXPECT_EQ(layout.insetsOfProbe().leading, 7);

  Layout plain(ApplyBlockStyle(headingSlot(12), BlockConfiguration{{testing::probe(seen)}}));
  EXPECT_EQ(seen->size(), 9);  // basic's level 6
  Layout rule(ApplyBlockStyle(thematicBreakSlot(), EmptyConfiguration{}));
  EXPECT_EQ(rule.margin().top, 26);
}

struct CountingProvider final : ImageProvider {
  std::shared_ptr<int> calls = std::make_shared<int>(0);
  std::string tag = "first";
  ui::AnyView makeImage(const std::optional<foundation::URL>&) const override {
    ++*calls;
    return ui::AnyView(ui::Text::verbatim(tag));
  }
};

TEST(MarkdownEnvironment, ImageProviderIsCopiedAndNearestWins) {
  CountingProvider provider, outer;
  outer.tag = "outer";
  auto seen = std::make_shared<Seen>();
  const ui::AnyView view =
      markdownImageProvider(markdownImageProvider(testing::probe(seen), provider), outer);
  provider.tag = "changed";
  Layout layout(view);
  Layout image(seen->environment.get<ImageProviderKey>().makeImage(std::nullopt));
  const auto runs = image.render().itemsOf<ui::DisplayItem::TextRun>();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].text, "first");
  EXPECT_EQ(*provider.calls, 1);  // the copy shares nothing but the counter
}

TEST(BlockMargins, MergeKeepsTheLargestSetSide) {
  BlockMargin m;
  m.merge(std::nullopt, std::nullopt);
  EXPECT_EQ(m, BlockMargin{});
  m.merge(10, std::nullopt);
  m.merge(20, std::nullopt);
  m.merge(std::nullopt, 5);
  m.merge(std::nullopt, std::nullopt);
  EXPECT_EQ(m, (BlockMargin{20, 5}));

  Layout nested(markdownMargin(
      markdownMargin(ui::AnyView(ui::Text::verbatim("x")), 10.0, std::nullopt), std::nullopt, 5.0));
  EXPECT_EQ(nested.margin(), (BlockMargin{10, 5}));
  Layout relative(markdownTextStyle(markdownMargin(ui::AnyView(ui::Text::verbatim("x")),
                                                   RelativeSize::em(1), RelativeSize::rem(1)),
                                    FontSize(RelativeSize::em(2))));
  EXPECT_EQ(relative.margin(), (BlockMargin{26, 13}));
}

TEST(RelativeModifiers, ResolveWhereTheyStand) {
  auto seen = std::make_shared<Seen>();
  const ui::AnyView padded =
      relativePadding(testing::probe(seen), ui::Edge::leading, RelativeSize::em(1));
  Layout small(padded);
  Layout large(markdownTextStyle(padded, FontSize(20)));
  EXPECT_EQ(small.insetsOfProbe().leading, 13);
  EXPECT_EQ(large.insetsOfProbe().leading, 20);

  Layout onlyHeight(relativeFrame(testing::probe(seen), std::nullopt, RelativeSize::em(2)));
  EXPECT_EQ(onlyHeight.frameOf("root").height, 26);
  EXPECT_EQ(onlyHeight.frameOf("root").width, onlyHeight.frameOf("probe").width);
}

TEST(RelativeModifiers, UnusableLengthsAddNothing) {
  auto seen = std::make_shared<Seen>();
  auto under = [](double scale) {
    FontProperties p;
    p.scale = scale;
    return TextStyleArg(p);
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double scale : {-2.0, nan, inf}) {
    SCOPED_TRACE(scale);
    Layout padded(markdownTextStyle(
        relativeLineSpacing(
            relativePadding(testing::probe(seen), ui::EdgeSet::all(), RelativeSize::em(1)),
            RelativeSize::em(1)),
        under(scale)));
    EXPECT_EQ(padded.insetsOfProbe().leading, 0);
    EXPECT_EQ(seen->lineSpacing, 0);
    Layout framed(markdownTextStyle(
        relativeFrame(testing::probe(seen), RelativeSize::em(1), RelativeSize::em(1)),
        under(scale)));
    EXPECT_EQ(framed.frameOf("root").size(), framed.frameOf("probe").size());
  }
  EXPECT_EQ(usableLength(3), 3);
  EXPECT_FALSE(usableLength(-1));
}

}  // namespace
}  // namespace markdown
