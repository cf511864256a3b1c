#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ModelPrinting.h"
#include "markdown/Block.h"
#include "markdown/Indexed.h"
#include "markdown/Inline.h"

namespace markdown {
namespace {

using namespace spell;

TEST(DocumentModel, PlainTextFlattensInlines) {
  const struct {
    std::vector<Inline> inlines;
    std::string expected;
  } cases[] = {
      {{}, ""},
      {{text("a"), Inline::softBreak(), text("b")}, "a b"},
      {{text("a"), Inline::lineBreak(), text("b")}, "a\nb"},
      {{Inline::code("c"), Inline::html("<br>")}, "c<br>"},
      {{link("https://x.org", {text("y")})}, "y"},
      {{image("cat.png", {text("a "), emph({text("cat")})})}, "a cat"},
      {{strong({strike({text("s")}), emph({text("e")})})}, "se"},
  };
  for (const auto& c : cases) EXPECT_EQ(plainText(c.inlines), c.expected) << c.expected;
}

TEST(DocumentModel, ImageRecordOfAnInline) {
  const Inline cat = image("cat.png", {emph({text("cat")})});
  const struct {
    const char* name;
    Inline inline_;
    std::optional<Inline::Image> expected;
  } cases[] = {
      {"image", cat, Inline::Image{"cat.png", "cat", std::nullopt}},
      {"link around one image", link("https://x.org", {cat}),
       Inline::Image{"cat.png", "cat", "https://x.org"}},
      {"link with a trailing text", link("https://x.org", {cat, text("!")}), std::nullopt},
      {"link without children", link("https://x.org", {}), std::nullopt},
      {"link around text", link("https://x.org", {text("cat")}), std::nullopt},
      {"emphasis around an image", emph({cat}), std::nullopt},
      {"text", text("cat"), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Inline::Image::from(c.inline_), c.expected) << c.name;
}

template <class T>
std::size_t hashOf(const T& value) {
  return std::hash<T>{}(value);
}

TEST(DocumentModel, EqualityAndHashingAreStructural) {
  const Block quote = Block::blockquote({para("b")});
  struct Pair {
    const char* name;
    std::function<bool()> equal;
    std::function<bool()> sameHash;
    bool expectEqual;
  };
  const auto pair = [](const char* name, auto a, auto b, bool expectEqual) {
    return Pair{name, [=] { return a == b; }, [=] { return hashOf(a) == hashOf(b); }, expectEqual};
  };
  const Pair cases[] = {
      pair("soft and hard breaks", Inline::softBreak(), Inline::lineBreak(), false),
      pair("absent and empty info", Block::codeBlock(std::nullopt, "x"), Block::codeBlock("", "x"),
           false),
      pair("same code blocks", Block::codeBlock("c", "x"), Block::codeBlock("c", "x"), true),
      pair("indexed at two positions", Indexed<Block>{0, quote}, Indexed<Block>{1, quote}, false),
      pair("indexed alike", Indexed<Block>{2, quote}, Indexed<Block>{2, quote}, true),
      pair("text and code of one text", text("a"), Inline::code("a"), false),
      pair("texts split differently", para({text("ab"), text("c")}), para({text("a"), text("bc")}),
           false),
      pair("link destinations", link("a", {text("x")}), link("b", {text("x")}), false),
      pair("tight and loose", Block::bulletedList(true, {item("a")}),
           Block::bulletedList(false, {item("a")}), false),
      pair("task items by completion", task(true, "a"), task(false, "a"), false),
      pair("list items alike", item("a"), item("a"), true),
      pair("numbered starts", Block::numberedList(true, 1, {item("a")}),
           Block::numberedList(true, 2, {item("a")}), false),
      pair("heading levels", Block::heading(1, {text("h")}), Block::heading(2, {text("h")}), false),
      pair("alignments", Block::table({TextTableColumnAlignment::center}, {}),
           Block::table({std::nullopt}, {}), false),
      pair("cells split differently", Block::table({}, {{{text("a")}, {}}}),
           Block::table({}, {{{}, {text("a")}}}), false),
      pair("deep documents alike", Block::blockquote({quote, Block::thematicBreak()}),
           Block::blockquote({quote, Block::thematicBreak()}), true),
      pair("image records", Inline::Image{"s", "a", std::nullopt}, Inline::Image{"s", "a", "s"},
           false),
  };
  for (const Pair& c : cases) {
    EXPECT_EQ(c.equal(), c.expectEqual) << c.name;
    // Unequal values may collide in principle; these are chosen so that a collision means
    // a field is not fed.
    EXPECT_EQ(c.sameHash(), c.expectEqual) << c.name;
  }
}

}  // namespace
}  // namespace markdown
