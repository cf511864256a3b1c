#include <gtest/gtest.h>

#include <vector>

#include "ModelPrinting.h"
#include "markdown/InlineBuilders.h"

namespace markdown {
namespace {

using namespace spell;

foundation::URL url(const char* text) {
  return *foundation::URL::parse(text);
}

TEST(InlineBuilders, TextStaysLiteralAndSeparate) {
  EXPECT_EQ(InlineContent::build({"a", "b"}).inlines, (std::vector<Inline>{text("a"), text("b")}));
  EXPECT_EQ(InlineContent::build({"**x**"}).inlines, (std::vector<Inline>{text("**x**")}));
  EXPECT_EQ(InlineContent::build({Strong("x")}).inlines,
            (std::vector<Inline>{strong({text("x")})}));
  EXPECT_TRUE(InlineContent::build({}).inlines.empty());
  EXPECT_EQ(InlineContent::build({""}).inlines, (std::vector<Inline>{text("")}));
  EXPECT_EQ(plainText(InlineContent::build({"a", LineBreak(), "b"}).inlines), "a\nb");
}

TEST(InlineBuilders, InlineValues) {
  const struct {
    const char* name;
    InlineContent built;
    std::vector<Inline> expected;
  } cases[] = {
      {"code", InlineContent::build({Code("c")}), {Inline::code("c")}},
      {"emphasis", InlineContent::build({Emphasis("e")}), {emph({text("e")})}},
      {"strikethrough", InlineContent::build({Strikethrough("s")}), {strike({text("s")})}},
      {"nested", InlineContent::build({Strong({Emphasis("x")})}), {strong({emph({text("x")})})}},
      {"breaks",
       InlineContent::build({SoftBreak(), LineBreak()}),
       {Inline::softBreak(), Inline::lineBreak()}},
      {"image without label",
       InlineContent::build({InlineImage(url("https://x.org/a.png"))}),
       {image("https://x.org/a.png", {})}},
      {"image with label",
       InlineContent::build({InlineImage("cat", url("https://x.org/a.png"))}),
       {image("https://x.org/a.png", {text("cat")})}},
      {"link keeps its children in order",
       InlineContent::build({InlineLink(url("https://x.org"), {Code("c"), "t"})}),
       {link("https://x.org", {Inline::code("c"), text("t")})}},
      {"link text",
       InlineContent::build({InlineLink("**t**", url("https://x.org"))}),
       {link("https://x.org", {text("**t**")})}},
      {"relative url stored resolved",
       InlineContent::build(
           {InlineLink("t", *foundation::URL::parse("../b/c?q", url("https://x.org/a/d/e")))}),
       {link("https://x.org/a/b/c?q", {text("t")})}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built.inlines, c.expected) << c.name;
}

TEST(InlineBuilders, ComposesConditionsAndLoops) {
  const std::vector<int> three = {1, 2, 3};
  EXPECT_EQ(
      InlineContent::build({when(false, "x"), forEach(three, [](int) { return SoftBreak(); })})
          .inlines,
      (std::vector<Inline>{Inline::softBreak(), Inline::softBreak(), Inline::softBreak()}));
  EXPECT_EQ(
      InlineContent::build({choose(true, Code("a"), "b"), choose(false, Code("a"), "b")}).inlines,
      (std::vector<Inline>{Inline::code("a"), text("b")}));
}

}  // namespace
}  // namespace markdown
