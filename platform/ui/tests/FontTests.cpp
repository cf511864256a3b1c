#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/Font.h"

namespace ui {
namespace {

using Modifier = Font::Modifier;
using Weight = Font::Weight;

TEST(FontTest, StepsKeepTheirOrder) {
  const Font f = Font::system(13).monospaced().monospacedDigit().weight(Weight::bold).italic();
  const std::vector<Font::Step> expected{{Modifier::monospaced},
                                         {Modifier::monospacedDigit},
                                         {Modifier::weight, Weight::bold},
                                         {Modifier::italic}};
  EXPECT_EQ(f.steps(), expected);
  EXPECT_EQ(f.base(), Font::Base(Font::System{13, Weight::regular, Font::Design::standard}));
  EXPECT_TRUE(Font::custom("Menlo", 12).steps().empty());
}

TEST(FontTest, EqualityIsStructural) {
  EXPECT_EQ(Font(), Font::system(13));
  EXPECT_EQ(Font::body(), Font::system(13));
  EXPECT_EQ(Font::custom("Menlo", 12).weight(Weight::semibold),
            Font::custom("Menlo", 12).weight(Weight::semibold));
  EXPECT_NE(Font::system(13).italic().monospaced(), Font::system(13).monospaced().italic());
  EXPECT_NE(Font::system(13).weight(Weight::bold), Font::system(13, Weight::bold));
  EXPECT_NE(Font::system(13).weight(Weight::bold), Font::system(13).weight(Weight::semibold));
  EXPECT_NE(Font::custom("Menlo", 13), Font::system(13));
  EXPECT_EQ(std::hash<Font>{}(Font::system(13).smallCaps()),
            std::hash<Font>{}(Font::system(13).smallCaps()));
  EXPECT_NE(Font::system(13).smallCaps(), Font::system(13).lowercaseSmallCaps());
}

TEST(FontTest, ResolutionAppliesStepsInOrder) {
  const ResolvedFont plain = Font::system(13).resolved();
  EXPECT_TRUE(plain.isSystem());
  EXPECT_EQ(plain.design, Font::Design::standard);
  EXPECT_EQ(plain.weight, Weight::regular);
  EXPECT_FALSE(plain.italic || plain.monospacedDigits || plain.lowercaseSmallCaps ||
               plain.uppercaseSmallCaps);

  const ResolvedFont r = Font::system(15, Weight::light, Font::Design::serif)
                             .monospaced()
                             .weight(Weight::bold)
                             .weight(Weight::heavy)
                             .italic()
                             .monospacedDigit()
                             .resolved();
  EXPECT_EQ(r.design, Font::Design::monospaced);
  EXPECT_EQ(r.weight, Weight::heavy);  // the later weight wins
  EXPECT_TRUE(r.italic);
  EXPECT_TRUE(r.monospacedDigits);
  EXPECT_EQ(r.size, 15);

  const ResolvedFont custom = Font::custom("Menlo", 12).weight(Weight::semibold).resolved();
  EXPECT_EQ(custom.family, "Menlo");
  EXPECT_EQ(custom.weight, Weight::semibold);
  EXPECT_EQ(Font::custom("Menlo", 12).resolved().weight, Weight::regular);
}

TEST(FontTest, CapsVariantsCombine) {
  auto caps = [](const Font& f) {
    const ResolvedFont r = f.resolved();
    return std::pair{r.lowercaseSmallCaps, r.uppercaseSmallCaps};
  };
  EXPECT_EQ(caps(Font().smallCaps()), std::pair(true, true));
  EXPECT_EQ(caps(Font().lowercaseSmallCaps()), std::pair(true, false));
  EXPECT_EQ(caps(Font().uppercaseSmallCaps()), std::pair(false, true));
  EXPECT_EQ(caps(Font().lowercaseSmallCaps().uppercaseSmallCaps()), std::pair(true, true));
}

TEST(FontTest, ResolvedSizeIsFiniteAndAtLeastOne) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double size, expected;
  };
  for (const Case& c : {Case{0, 1}, Case{-4, 1}, Case{0.5, 1}, Case{26, 26}, Case{nan, 13},
                        Case{inf, ResolvedFont::kMaximumSize}, Case{-inf, 1}}) {
    EXPECT_EQ(Font::system(c.size).resolved().size, c.expected) << c.size;
    EXPECT_EQ(Font::custom("X", c.size).resolved().size, c.expected) << c.size;
  }
}

}  // namespace
}  // namespace ui
