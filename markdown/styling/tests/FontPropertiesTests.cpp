#include <gtest/gtest.h>

#include <unordered_set>

#include "markdown/FontProperties.h"

namespace markdown {
namespace {

using ui::Font;
using Step = Font::Step;
using M = Font::Modifier;

TEST(FontProperties, DefaultsGiveTheBareBodyFont) {
  EXPECT_EQ(fontWithProperties({}), Font::system(13, Font::Weight::regular));
  EXPECT_TRUE(fontWithProperties({}).steps().empty());
  EXPECT_EQ(FontProperties::defaultSize, 13);
  EXPECT_EQ(FontProperties::defaultWeight, Font::Weight::regular);
}

TEST(FontProperties, SizeIsRoundedHalvesAwayFromZero) {
  struct Case {
    double size, scale, points;
  };
  for (const Case c : {Case{16, 0.94, 15},
                       {13, 2, 26},
                       {13, 0.83, 11},
                       {13, 1.5, 20},
                       {12.5, 1, 13},
                       {13.49, 1, 13},
                       {-2.5, 1, -3}}) {
    FontProperties p;
    p.size = c.size;
    p.scale = c.scale;
    EXPECT_EQ(p.scaledSize(), c.points) << c.size << " x " << c.scale;
  }
  FontProperties p;
  p.size = 16;
  p.scale = 0.94;
  EXPECT_EQ(fontWithProperties(p), Font::system(15));
}

TEST(FontProperties, ConversionKeepsAUsableSize) {
  FontProperties zero, negative, huge;
  zero.size = 0;
  negative.size = -3;
  huge.size = 1e9;
  EXPECT_EQ(fontWithProperties(zero), Font::system(1));
  EXPECT_EQ(fontWithProperties(negative), Font::system(1));
  EXPECT_EQ(fontWithProperties(huge), Font::system(ui::ResolvedFont::kMaximumSize));
  FontProperties nan;
  nan.scale = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(fontWithProperties(nan), Font::system(13));
}

TEST(FontProperties, ModifiersFollowTheFixedOrder) {
  FontProperties custom;
  custom.family = FontProperties::Family::custom("Inter");
  custom.weight = Font::Weight::semibold;
  EXPECT_EQ(fontWithProperties(custom), Font::custom("Inter", 13).weight(Font::Weight::semibold));
  custom.weight = Font::Weight::regular;
  EXPECT_EQ(fontWithProperties(custom), Font::custom("Inter", 13));

  FontProperties all;
  all.family = FontProperties::Family::system(Font::Design::serif);
  all.familyVariant = FontProperties::FamilyVariant::monospaced;
  all.digitVariant = FontProperties::DigitVariant::monospaced;
  all.weight = Font::Weight::bold;
  all.style = FontProperties::Style::italic;
  all.capsVariant = FontProperties::CapsVariant::smallCaps;
  const Font f = fontWithProperties(all);
  EXPECT_EQ(f.base(), Font::Base(Font::System{13, Font::Weight::regular, Font::Design::serif}));
  EXPECT_EQ(f.steps(), (std::vector<Step>{{M::monospaced},
                                          {M::smallCaps},
                                          {M::monospacedDigit},
                                          {M::weight, Font::Weight::bold},
                                          {M::italic}}));
}

TEST(FontProperties, EachCapsVariantAddsItsOneStep) {
  using C = FontProperties::CapsVariant;
  struct Case {
    C caps;
    std::vector<Step> steps;
  };
  for (const Case& c : {Case{C::normal, {}}, Case{C::smallCaps, {{M::smallCaps}}},
                        Case{C::lowercaseSmallCaps, {{M::lowercaseSmallCaps}}},
                        Case{C::uppercaseSmallCaps, {{M::uppercaseSmallCaps}}}}) {
    FontProperties p;
    p.capsVariant = c.caps;
    EXPECT_EQ(fontWithProperties(p).steps(), c.steps);
  }
}

TEST(FontProperties, EqualityAndHashingUseEveryField) {
  FontProperties a, b;
  b.size = 26;
  b.scale = 0.5;
  EXPECT_EQ(a.scaledSize(), b.scaledSize());
  EXPECT_NE(a, b);
  FontProperties c;
  c.family = FontProperties::Family::custom("A");
  FontProperties d;
  d.family = FontProperties::Family::custom("B");
  EXPECT_NE(c, d);
  EXPECT_EQ(std::hash<FontProperties>{}(a), std::hash<FontProperties>{}(FontProperties{}));
  std::unordered_set<FontProperties> set{a, b, c, d, FontProperties{}};
  EXPECT_EQ(set.size(), 4u);
}

TEST(FontProperties, ResolvingReplacesDescriptionsByFonts) {
  ui::AttributedString plain("plain");
  plain.editAll([](ui::AttributeContainer& a) { a.foregroundColor = ui::Color::red(); });
  EXPECT_EQ(resolvingFontProperties(plain), plain);

  ui::AttributeContainer big, small;
  FontProperties p;
  p.size = 20;
  big.set<FontPropertiesAttribute>(p);
  big.font = Font::system(99);  // replaced
  p.size = 10;
  small.set<FontPropertiesAttribute>(p);
  ui::AttributedString text("big", big);
  text.append("small", small);
  text.append("none");
  const ui::AttributedString resolved = resolvingFontProperties(text);
  ASSERT_EQ(resolved.runs().size(), 3u);
  EXPECT_EQ(resolved.runs()[0].attributes.font, Font::system(20));
  EXPECT_EQ(resolved.runs()[1].attributes.font, Font::system(10));
  EXPECT_EQ(resolved.runs()[2].attributes.font, std::nullopt);
  for (const auto& run : resolved.runs())
    EXPECT_FALSE(run.attributes.contains<FontPropertiesAttribute>());
}

}  // namespace
}  // namespace markdown
