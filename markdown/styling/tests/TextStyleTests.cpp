#include <gtest/gtest.h>

#include "markdown/RelativeSize.h"
#include "markdown/TextStyle.h"

namespace markdown {
namespace {

using ui::Font;

FontProperties sized(double size, double scale = 1) {
  FontProperties p;
  p.size = size;
  p.scale = scale;
  return p;
}

FontProperties collectFont(std::initializer_list<TextStyleArg> styles) {
  const ui::AttributeContainer a = collectedAttributes(textStyle(styles));
  const FontProperties* p = a.get<FontPropertiesAttribute>();
  return p ? *p : FontProperties{};
}

TEST(TextStyle, FontSizesCompoundInOrder) {
  struct Case {
    const char* name;
    AnyTextStyle style;
    double points;
  };
  const Case cases[] = {
      {"em 2", textStyle({FontSize(RelativeSize::em(2))}), 32},
      {"em 2, em 0.5", textStyle({FontSize(RelativeSize::em(2)), FontSize(RelativeSize::em(0.5))}),
       16},
      {"em 2, rem 1.5",
       textStyle({FontSize(RelativeSize::em(2)), FontSize(RelativeSize::rem(1.5))}), 24},
      {"em 2, 20 pt", textStyle({FontSize(RelativeSize::em(2)), FontSize(20)}), 20},
      {"em 3, em 2, rem 1",
       textStyle({FontSize(RelativeSize::em(3)), FontSize(RelativeSize::em(2)),
                  FontSize(RelativeSize::rem(1))}),
       16},
  };
  for (const Case& c : cases) {
    const FontProperties p = collectFont({sized(16), c.style});
    EXPECT_EQ(p.scaledSize(), c.points) << c.name;
  }
  const FontProperties mono =
      collectFont({FontProperties{}, FontFamilyVariant(FontProperties::FamilyVariant::monospaced),
                   FontSize(RelativeSize::em(0.94))});
  EXPECT_EQ(mono.familyVariant, FontProperties::FamilyVariant::monospaced);
  EXPECT_DOUBLE_EQ(mono.scale, 0.94);
  EXPECT_EQ(mono.scaledSize(), 12);
}

TEST(TextStyle, FontEditsNeedADescription) {
  ui::AttributeContainer empty;
  FontWeight(Font::Weight::bold).collectAttributes(empty);
  FontSize(20).collectAttributes(empty);
  EXPECT_TRUE(empty.empty());

  EXPECT_EQ(collectFont({FontProperties{}, FontWeight(Font::Weight::bold)}).weight,
            Font::Weight::bold);
  // A later description discards earlier edits; edits made before any description are lost.
  EXPECT_EQ(
      collectFont({FontProperties{}, FontWeight(Font::Weight::bold), FontProperties{}}).weight,
      Font::Weight::regular);
  EXPECT_EQ(collectFont({FontWeight(Font::Weight::bold), FontProperties{}}).weight,
            Font::Weight::regular);
}

TEST(TextStyle, LaterDirectAttributesWinAndAbsentOnesRemove) {
  const ui::Color red = ui::Color::red();
  EXPECT_EQ(collectedAttributes(textStyle({ForegroundColor(red), ForegroundColor(std::nullopt)}))
                .foregroundColor,
            std::nullopt);
  EXPECT_EQ(collectedAttributes(textStyle({ForegroundColor(std::nullopt), ForegroundColor(red)}))
                .foregroundColor,
            red);
  EXPECT_EQ(collectedAttributes(textStyle({StrikethroughStyle(ui::LineStyle::single()),
                                           StrikethroughStyle(std::nullopt)}))
                .strikethroughStyle,
            std::nullopt);

  const ui::AttributeContainer all = collectedAttributes(
      textStyle({BackgroundColor(red),
                 UnderlineStyle(ui::LineStyle{ui::LineStyle::Pattern::dash, std::nullopt}),
                 TextKerning(1.5), TextTracking(2)}));
  EXPECT_EQ(all.backgroundColor, red);
  EXPECT_EQ(all.underlineStyle->pattern, ui::LineStyle::Pattern::dash);
  EXPECT_EQ(all.kern, 1.5);
  EXPECT_EQ(all.tracking, 2);
}

TEST(TextStyle, BuilderFoldsFromTheLeft) {
  EXPECT_TRUE(collectedAttributes(textStyle({})).empty());
  const AnyTextStyle a = std::make_shared<const FontWeight>(Font::Weight::bold);
  EXPECT_EQ(textStyle({a}), a);

  const AnyTextStyle b = std::make_shared<const FontStyle>(FontProperties::Style::italic);
  const AnyTextStyle c = std::make_shared<const FontSize>(30);
  auto outer = std::dynamic_pointer_cast<const TextStyleBuilder::Pair>(textStyle({a, b, c}));
  ASSERT_TRUE(outer);
  EXPECT_EQ(outer->s1, c);
  auto inner = std::dynamic_pointer_cast<const TextStyleBuilder::Pair>(outer->s0);
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->s0, a);
  EXPECT_EQ(inner->s1, b);
}

TEST(TextStyle, ConditionsCollectOneBranch) {
  const ui::Color red = ui::Color::red(), blue = ui::Color::blue();
  EXPECT_EQ(collectedAttributes(when(true, ForegroundColor(red))).foregroundColor, red);
  EXPECT_TRUE(collectedAttributes(when(false, ForegroundColor(red))).empty());
  EXPECT_EQ(collectedAttributes(choose(true, ForegroundColor(red), ForegroundColor(blue)))
                .foregroundColor,
            red);
  EXPECT_EQ(collectedAttributes(choose(false, ForegroundColor(red), ForegroundColor(blue)))
                .foregroundColor,
            blue);
}

TEST(RelativeSize, ResolvesToWholePoints) {
  struct Case {
    std::optional<FontProperties> font;
    RelativeSize size;
    double points;
  };
  const Case cases[] = {
      {std::nullopt, RelativeSize::em(1.5), 20}, {std::nullopt, RelativeSize::rem(1), 13},
      {std::nullopt, RelativeSize::em(0.15), 2}, {std::nullopt, RelativeSize::em(0.72), 9},
      {std::nullopt, RelativeSize::em(0.35), 5}, {sized(16), RelativeSize::em(1), 16},
      {sized(16), RelativeSize::em(0.15), 2},    {sized(16), RelativeSize::em(0.72), 12},
      {sized(16), RelativeSize::em(0.35), 6},    {sized(16), RelativeSize::rem(1.5), 24},
      {sized(16, 2), RelativeSize::em(1), 32},   {sized(16, 2), RelativeSize::rem(1.5), 24},
      {sized(16, 2), RelativeSize::rem(1), 16},  {sized(13, 0.83), RelativeSize::em(0.5), 6},
      {sized(40, 3), RelativeSize::zero, 0},     {sized(40, 3), RelativeSize::em(0), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.size.points(c.font), c.points)
        << c.size.value << (c.size.unit == RelativeSize::Unit::em ? " em" : " rem");
  EXPECT_NE(RelativeSize::zero, RelativeSize::em(0));
  EXPECT_EQ(RelativeSize::zero, RelativeSize::rem(0));
  EXPECT_NE(std::hash<RelativeSize>{}(RelativeSize::em(1)),
            std::hash<RelativeSize>{}(RelativeSize::rem(1)));
}

}  // namespace
}  // namespace markdown
