#include <gtest/gtest.h>

#include "ui/AttributedString.h"

namespace ui {
namespace {

struct Emphasis {
  int level = 0;
  bool operator==(const Emphasis&) const = default;
};

}  // namespace
}  // namespace ui

template <>
struct std::hash<ui::Emphasis> {
  std::size_t operator()(const ui::Emphasis& e) const { return std::hash<int>{}(e.level); }
};

namespace ui {
namespace {

struct EmphasisAttribute {
  using Value = Emphasis;
  static constexpr std::string_view name = "emphasis";
};
struct LevelAttribute {
  using Value = int;
  static constexpr std::string_view name = "level";
};

AttributeContainer withColor(std::uint32_t rgba) {
  AttributeContainer c;
  c.foregroundColor = Color::rgba(rgba);
  return c;
}

using Spans = std::vector<std::pair<std::string, AttributeContainer>>;

Spans spans(const AttributedString& s) {
  Spans out;
  for (const auto& run : s.runs()) out.emplace_back(std::string(s.text(run)), run.attributes);
  return out;
}

TEST(AttributeContainerTest, MergeKeepsTheLaterValue) {
  AttributeContainer earlier = withColor(0x111111FF);
  earlier.kern = 1;
  earlier.set<LevelAttribute>(1);
  AttributeContainer later = withColor(0x222222FF);
  later.tracking = 2;
  later.set<LevelAttribute>(2);
  later.set<EmphasisAttribute>(Emphasis{3});

  const AttributeContainer merged = earlier.merging(later);
  EXPECT_EQ(merged.foregroundColor, Color::rgba(0x222222FF));
  EXPECT_EQ(merged.kern, 1);      // absent in later: kept
  EXPECT_EQ(merged.tracking, 2);  // new in later: added
  EXPECT_EQ(*merged.get<LevelAttribute>(), 2);
  EXPECT_EQ(merged.get<EmphasisAttribute>()->level, 3);
  EXPECT_EQ(later.merging(earlier).foregroundColor, Color::rgba(0x111111FF));
  EXPECT_EQ(AttributeContainer().merging(earlier), earlier);
}

TEST(AttributeContainerTest, ExtensionSlotComparesByValueWhateverTheOrderOfWrites) {
  AttributeContainer a, b;
  EXPECT_TRUE(a.empty());
  a.set<LevelAttribute>(4);
  a.set<EmphasisAttribute>(Emphasis{1});
  b.set<EmphasisAttribute>(Emphasis{1});
  b.set<LevelAttribute>(4);
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.hash(), b.hash());

  b.set<EmphasisAttribute>(Emphasis{2});
  EXPECT_NE(a, b);
  EXPECT_TRUE(b.modify<EmphasisAttribute>([](Emphasis& e) { e.level = 1; }));
  EXPECT_EQ(a, b);

  b.set<LevelAttribute>(std::nullopt);  // writing nothing removes
  EXPECT_FALSE(b.contains<LevelAttribute>());
  EXPECT_NE(a, b);
  EXPECT_FALSE(b.modify<LevelAttribute>([](int& v) { v = 9; }));  // absent: stays absent
  EXPECT_EQ(b.get<LevelAttribute>(), nullptr);
  b.remove<EmphasisAttribute>();
  EXPECT_TRUE(b.empty());
}

TEST(AttributeContainerTest, CopiesAreIndependent) {
  AttributeContainer a;
  a.set<LevelAttribute>(1);
  AttributeContainer b = a;
  b.modify<LevelAttribute>([](int& v) { v = 2; });
  EXPECT_EQ(*a.get<LevelAttribute>(), 1);
  EXPECT_EQ(*b.get<LevelAttribute>(), 2);
}

TEST(AttributeContainerTest, EveryAttributeTakesPartInEquality) {
  const auto link = foundation::URL::parse("https://example.com/a");
  ASSERT_TRUE(link);
  std::vector<std::function<void(AttributeContainer&)>> setters{
      [](AttributeContainer& c) { c.font = Font::body(); },
      [](AttributeContainer& c) { c.foregroundColor = Color::red(); },
      [](AttributeContainer& c) { c.backgroundColor = Color::red(); },
      [](AttributeContainer& c) { c.strikethroughStyle = LineStyle::single(); },
      [](AttributeContainer& c) {
        c.underlineStyle = LineStyle{LineStyle::Pattern::dash, Color::blue()};
      },
      [](AttributeContainer& c) { c.kern = 1; },
      [](AttributeContainer& c) { c.tracking = 1; },
      [](AttributeContainer& c) { c.baselineOffset = 1; },
      [&](AttributeContainer& c) { c.link = link; },
      [](AttributeContainer& c) { c.set<LevelAttribute>(0); },
  };
  for (std::size_t i = 0; i < setters.size(); ++i) {
    AttributeContainer c;
    setters[i](c);
    EXPECT_NE(c, AttributeContainer()) << i;
    EXPECT_FALSE(c.empty()) << i;
    EXPECT_EQ(AttributeContainer().merging(c), c) << i;
  }
}

TEST(AttributedStringTest, AppendingCoalescesEqualNeighbours) {
  AttributedString s("Hello, ", withColor(0x111111FF));
  s += AttributedString("wor", withColor(0x111111FF));
  s += AttributedString("ld", withColor(0x222222FF));
  s += AttributedString("", withColor(0x333333FF));  // nothing to append
  s.append("!", withColor(0x222222FF));
  EXPECT_EQ(s.characters(), "Hello, world!");
  EXPECT_EQ(spans(s),
            (Spans{{"Hello, wor", withColor(0x111111FF)}, {"ld!", withColor(0x222222FF)}}));
  EXPECT_EQ(AttributedString("").runs().size(), 0u);
  EXPECT_EQ(AttributedString("a") + AttributedString("b"), AttributedString("ab"));
}

TEST(AttributedStringTest, EditSplitsAndRejoinsRuns) {
  AttributedString s("one two three");
  s.edit(4, 7, [](AttributeContainer& c) { c.kern = 2; });
  ASSERT_EQ(s.runs().size(), 3u);
  EXPECT_EQ(s.text(s.runs()[1]), "two");
  EXPECT_EQ(s.runs()[1].attributes.kern, 2);

  // Removing the attribute again leaves one run.
  s.edit(0, s.size(), [](AttributeContainer& c) { c.kern.reset(); });
  EXPECT_EQ(spans(s), (Spans{{"one two three", {}}}));

  // Ranges are clamped; empty and reversed ranges change nothing.
  s.edit(8, 999, [](AttributeContainer& c) { c.tracking = 1; });
  s.edit(3, 3, [](AttributeContainer& c) { c.tracking = 5; });
  s.edit(6, 2, [](AttributeContainer& c) { c.tracking = 5; });
  ASSERT_EQ(s.runs().size(), 2u);
  EXPECT_EQ(s.text(s.runs()[1]), "three");
}

TEST(AttributedStringTest, SetAndMergeOverARange) {
  AttributedString s("abcdef", withColor(0x111111FF));
  AttributeContainer bold;
  bold.font = Font::body().bold();
  s.mergeAttributes(0, 3, bold);
  s.setAttributes(3, 6, bold);
  ASSERT_EQ(s.runs().size(), 2u);
  EXPECT_EQ(s.runs()[0].attributes.foregroundColor, Color::rgba(0x111111FF));
  EXPECT_EQ(s.runs()[0].attributes.font, Font::body().bold());
  EXPECT_EQ(s.runs()[1].attributes, bold);
}

TEST(AttributedStringTest, OffsetsInsideACharacterMoveToItsStart) {
  AttributedString s(
      "a\xC3\xA9"
      "b");                                                 // a é b
  s.edit(2, 3, [](AttributeContainer& c) { c.kern = 1; });  // from inside é up to b
  ASSERT_EQ(s.runs().size(), 3u);
  EXPECT_EQ(s.text(s.runs()[1]), "\xC3\xA9");
  EXPECT_EQ(s.substring(2, 4).characters(),
            "\xC3\xA9"
            "b");
}

TEST(AttributedStringTest, TransformingVisitsTheRunsAsTheyWere) {
  AttributedString s;
  AttributeContainer one, two;
  one.set<LevelAttribute>(1);
  two.set<LevelAttribute>(2);
  two.font = Font::title();
  s += AttributedString("first ", one);
  s += AttributedString("plain ");
  s += AttributedString("second", two);

  // Each described run gets a font in place of its description; the plain run stays as it
  // was.
  int visits = 0;
  const AttributedString resolved = s.transformingAttributes([&](AttributeContainer& c) {
    ++visits;
    if (c.contains<LevelAttribute>()) {
      c.font = Font::system(20);
      c.remove<LevelAttribute>();
    }
  });
  EXPECT_EQ(visits, 3);
  ASSERT_EQ(resolved.runs().size(), 3u);
  EXPECT_EQ(resolved.runs()[0].attributes.font, Font::system(20));
  EXPECT_FALSE(resolved.runs()[1].attributes.font);
  EXPECT_EQ(resolved.runs()[2].attributes.font, Font::system(20));
  for (const auto& run : resolved.runs()) EXPECT_FALSE(run.attributes.contains<LevelAttribute>());
  EXPECT_TRUE(s.runs()[0].attributes.contains<LevelAttribute>());  // the original is untouched

  // Runs that end up equal join.
  const AttributedString joined = AttributedString("ab", one) + AttributedString("cd", two);
  EXPECT_EQ(joined.transformingAttributes([](AttributeContainer& c) { c = {}; }).runs().size(), 1u);
}

}  // namespace
}  // namespace ui
