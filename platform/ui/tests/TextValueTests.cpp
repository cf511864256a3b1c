#include <gtest/gtest.h>

#include "ui/TextValue.h"

namespace ui {
namespace {

TEST(TextValueTest, ConcatenationJoinsStringsAndKeepsImagesApart) {
  const Text t = Text::verbatim("a") + Text::verbatim("b") + Text::image(Image::symbol("circle")) +
                 Text::verbatim("") + Text::verbatim("c");
  ASSERT_EQ(t.segments().size(), 3u);
  EXPECT_EQ(std::get<AttributedString>(t.segments()[0]).characters(), "ab");
  EXPECT_EQ(t.plainText(), std::string("ab") + std::string(Text::kImagePlaceholder) + "c");

  const auto runs = t.runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[1].begin, 2u);
  EXPECT_EQ(runs[1].end, 5u);
  EXPECT_EQ(runs[1].image, Image::symbol("circle"));
  EXPECT_EQ(runs[2].begin, 5u);
  EXPECT_TRUE(Text::verbatim("").empty());
  EXPECT_TRUE(Text().runs().empty());
}

TEST(TextValueTest, TextLevelFontAndColourFillInUnderRunAttributes) {
  AttributeContainer own;
  own.font = Font::title();
  const Text inner = Text::verbatim("a").font(Font::caption());
  const Text t = (inner + Text::verbatim("b") + Text::attributed(AttributedString("c", own)) +
                  Text::image(Image::symbol("checkmark")))
                     .font(Font::body())
                     .foregroundColor(Color::red())
                     .foregroundColor(Color::blue());
  const auto runs = t.runs();
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].attributes.font, Font::caption());  // the inner modifier wins
  EXPECT_EQ(runs[1].attributes.font, Font::body());
  EXPECT_EQ(runs[2].attributes.font, Font::title());  // a run's own font wins
  EXPECT_EQ(runs[3].attributes.font, Font::body());   // sizes the symbol
  for (const auto& run : runs) EXPECT_EQ(run.attributes.foregroundColor, Color::red());

  EXPECT_EQ(t.font(std::nullopt), t);
  EXPECT_EQ(t.foregroundColor(std::nullopt), t);
}

TEST(TextValueTest, LocalizedKeysInterpolateIntegers) {
  struct Case {
    std::string_view key;
    std::vector<std::int64_t> arguments;
    std::string expected;
  };
  for (const Case& c : {
           Case{"%lld.", {3}, "3."},
           Case{"%lld of %lld", {1, 2}, "1 of 2"},
           Case{"%lld", {1234567}, "1234567"},  // no grouping
           Case{"%lld", {-5}, "-5"},
           Case{"100%%", {}, "100%"},
           Case{"%lld and %lld", {7}, "7 and %lld"},  // a missing argument stays as written
           Case{"Copied", {}, "Copied"},
           Case{"%d %lld", {4}, "%d 4"},
       }) {
    EXPECT_EQ(Text::localized(c.key, c.arguments).plainText(), c.expected) << c.key;
  }
}

}  // namespace
}  // namespace ui
