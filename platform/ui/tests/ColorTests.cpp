#include <gtest/gtest.h>

#include <unordered_set>

#include "ui/Color.h"

namespace ui {
namespace {

TEST(ColorTest, PackedValuesSplitIntoChannels) {
  struct Case {
    std::uint32_t packed;
    Rgba expected;
  };
  for (const Case& c : {Case{0x000000FF, {0, 0, 0, 1}}, Case{0xFFFFFF00, {1, 1, 1, 0}},
                        Case{0x0066CCFF, {0, 0.4, 0.8, 1}}}) {
    const Rgba rgba = Color::rgba(c.packed).resolve(ColorScheme::light);
    EXPECT_DOUBLE_EQ(rgba.red, c.expected.red) << std::hex << c.packed;
    EXPECT_DOUBLE_EQ(rgba.green, c.expected.green) << std::hex << c.packed;
    EXPECT_DOUBLE_EQ(rgba.blue, c.expected.blue) << std::hex << c.packed;
    EXPECT_DOUBLE_EQ(rgba.alpha, c.expected.alpha) << std::hex << c.packed;
    EXPECT_EQ(rgba.packed(), c.packed);
  }
}

TEST(ColorTest, SemanticColoursFollowTheScheme) {
  EXPECT_EQ(Color::primary().resolve(ColorScheme::light).packed(), 0x000000FFu);
  EXPECT_EQ(Color::primary().resolve(ColorScheme::dark).packed(), 0xFFFFFFFFu);
  EXPECT_EQ(Color::secondary().resolve(ColorScheme::light).packed(), 0x00000080u);
  EXPECT_EQ(Color::secondary().resolve(ColorScheme::dark).packed(), 0xFFFFFF8Cu);
  EXPECT_EQ(Color::clear().resolve(ColorScheme::dark).alpha, 0);
  EXPECT_EQ(Color(), Color::clear());
  EXPECT_EQ(Color::tint(), Color::accent());
}

TEST(ColorTest, PairsResolveLightOnlyForTheLightScheme) {
  const Color pair = Color::pair(Color::rgba(0x111111FF), Color::rgba(0xEEEEEEFF));
  EXPECT_EQ(pair.resolve(ColorScheme::light).packed(), 0x111111FFu);
  EXPECT_EQ(pair.resolve(ColorScheme::dark).packed(), 0xEEEEEEFFu);
  // A side resolves in the same scheme, so semantic colours inside a pair still follow it.
  const Color nested = Color::pair(Color::primary(), Color::white());
  EXPECT_EQ(nested.resolve(ColorScheme::light).packed(), 0x000000FFu);
}

TEST(ColorTest, ProducersRunOnEveryResolution) {
  auto value = std::make_shared<std::uint32_t>(0x000000FF);
  int calls = 0;
  const Color live = Color::dynamic(
      [value, &calls] {
        ++calls;
        return Color::rgba(*value);
      },
      [] { return Color::black(); });
  EXPECT_EQ(live.resolve(ColorScheme::light).packed(), 0x000000FFu);
  *value = 0xFF0000FF;
  EXPECT_EQ(live.resolve(ColorScheme::light).packed(), 0xFF0000FFu);
  EXPECT_EQ(calls, 2);
}

TEST(ColorTest, SelfReferenceResolvesToClearInsteadOfRecursingForever) {
  auto self = std::make_shared<Color>();
  *self = Color::dynamic([self] { return *self; }, [] { return Color::white(); });
  EXPECT_EQ(self->resolve(ColorScheme::light), Rgba{});
  EXPECT_EQ(self->resolve(ColorScheme::dark).packed(), 0xFFFFFFFFu);
  *self = Color();  // break the cycle
}

TEST(ColorTest, OpacityMultipliesAlpha) {
  EXPECT_EQ(Color::rgba(0x336699FF).opacity(0.5), Color::sRGB(0.2, 0.4, 0.6, 0.5));
  EXPECT_DOUBLE_EQ(Color::secondary().opacity(0.5).resolve(ColorScheme::light).alpha,
                   128 / 255.0 / 2);
  const Color pair = Color::pair(Color::white(), Color::black());
  EXPECT_DOUBLE_EQ(pair.opacity(0.3).resolve(ColorScheme::dark).alpha, 0.3);
  EXPECT_EQ(Color::white().opacity(7).resolve(ColorScheme::light).alpha, 1);
  EXPECT_NE(Color::gray().opacity(0.7), Color::gray());
}

TEST(ColorTest, EqualityByValueForFixedAndByIdentityForDynamic) {
  EXPECT_EQ(Color::rgba(0x0066CCFF), Color::sRGB(0, 0.4, 0.8));
  EXPECT_NE(Color::rgba(0x0066CCFF), Color::rgba(0x0066CCFE));
  EXPECT_NE(Color::black(), Color::rgba(0x000000FF));  // semantic, not fixed

  const Color a = Color::pair(Color::white(), Color::black());
  const Color copy = a;
  const Color b = Color::pair(Color::white(), Color::black());
  EXPECT_EQ(a, copy);
  EXPECT_NE(a, b);
  EXPECT_TRUE(a.isDynamic());

  const std::unordered_set<Color> set{a, copy, b, Color::rgba(0x0066CCFF),
                                      Color::sRGB(0, 0.4, 0.8)};
  EXPECT_EQ(set.size(), 3u);
  EXPECT_EQ(std::hash<Color>{}(a), std::hash<Color>{}(copy));
}

}  // namespace
}  // namespace ui
