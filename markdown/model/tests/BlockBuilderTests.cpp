#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelPrinting.h"
#include "markdown/BlockBuilders.h"

namespace markdown {
namespace {

using namespace spell;

bool storedTight(const MarkdownContent& content) {
  const Block& block = content.blocks.at(0);
  if (const auto* list = block.as<Block::BulletedList>()) return list->tight;
  if (const auto* list = block.as<Block::NumberedList>()) return list->tight;
  return block.as<Block::TaskList>()->tight;
}

TEST(BlockBuilders, TightnessRule) {
  const auto twoParagraphs = ListItem::build({Paragraph({"a"}), Paragraph({"b"})});
  const auto nested =
      ListItem::build({Paragraph({"a"}), BulletedList(true, {twoParagraphs, twoParagraphs})});
  const auto mixed = ListItem::build(
      {Paragraph({"a"}), CodeBlock(std::nullopt, "x"), Blockquote({Paragraph({"q"})})});
  const struct {
    const char* name;
    MarkdownContent list;
    bool expected;
  } cases[] = {
      {"second item with two paragraphs",
       BulletedList(true, {"a", twoParagraphs})._markdownContent(), false},
      {"paragraphs inside a nested list", BulletedList(true, {nested, nested})._markdownContent(),
       true},
      {"requested loose", BulletedList(false, {"a", "b"})._markdownContent(), false},
      {"empty keeps the request", BulletedList(false, {})._markdownContent(), false},
      {"empty keeps tight", NumberedList(true, 1, {})._markdownContent(), true},
      {"paragraph, code and quote count one", NumberedList(true, 1, {mixed})._markdownContent(),
       true},
      {"task items count too",
       TaskList(true, {TaskListItem::build(true, {Paragraph({"a"}), Paragraph({"b"})})})
           ._markdownContent(),
       false},
      {"of elements",
       BulletedList::of(std::vector<int>{1, 2}, true, [&](int) { return twoParagraphs; })
           ._markdownContent(),
       false},
  };
  for (const auto& c : cases) EXPECT_EQ(storedTight(c.list), c.expected) << c.name;
}

TEST(BlockBuilders, TextIsMarkdownInABlockBodyAndLiteralInAList) {
  EXPECT_EQ(MarkdownContent::build({"**x**"}).blocks,
            (std::vector<Block>{para({strong({text("x")})})}));
  EXPECT_EQ(MarkdownContent::build({"# One\n\ntwo"}).blocks,
            (std::vector<Block>{Block::heading(1, {text("One")}), para("two")}));
  const std::vector<Block> literal = {Block::bulletedList(true, {item("**x**"), item("y")})};
  EXPECT_EQ(MarkdownContent::build({BulletedList({"**x**", "y"})}).blocks, literal);
  EXPECT_EQ(
      BulletedList::ofTexts(std::vector<std::string>{"**x**", "y"}, true)._markdownContent().blocks,
      literal);
  EXPECT_EQ(
      NumberedList::ofTexts(std::vector<const char*>{"a"}, true, -4)._markdownContent().blocks,
      (std::vector<Block>{Block::numberedList(true, -4, {item("a")})}));
  EXPECT_EQ(TaskList({"**x**"})._markdownContent().blocks,
            (std::vector<Block>{Block::taskList(true, {task(false, "**x**")})}));
}

TEST(BlockBuilders, ComposesConditionsAndLoops) {
  EXPECT_EQ(MarkdownContent::build({when(false, "# hidden")}), MarkdownContent::build({}));
  EXPECT_EQ(MarkdownContent::build({}), MarkdownContent(""));
  EXPECT_EQ(
      MarkdownContent::build({"a", when(true, "b"), choose(false, "c", ThematicBreak())}).blocks,
      (std::vector<Block>{para("a"), para("b"), Block::thematicBreak()}));

  int evaluated = 0;
  const auto counted = [&] {
    ++evaluated;
    return Paragraph({"lazy"});
  };
  MarkdownContent::build({when(false, counted), choose(true, ThematicBreak(), counted)});
  EXPECT_EQ(evaluated, 0);

  const std::vector<int> three = {1, 2, 3};
  const auto loop = MarkdownContent::build({forEach(three, [](int i) {
    return MarkdownContent::build({Paragraph({std::to_string(i)}), ThematicBreak()});
  })});
  ASSERT_EQ(loop.blocks.size(), 6u);
  EXPECT_EQ(loop.blocks[2], para("2"));
  EXPECT_EQ(loop.blocks[5], Block::thematicBreak());

  const auto nested = choose(false, "first", choose(false, "second", "third"));
  EXPECT_EQ(MarkdownContent::build({nested}).blocks, (std::vector<Block>{para("third")}));

  EXPECT_EQ(
      BulletedList({"a", when(false, "b"), forEach(three, [](int i) { return std::to_string(i); })})
          .items.size(),
      4u);
}

TEST(BlockBuilders, BlockValues) {
  EXPECT_EQ(Heading::levelFromRawValue(0), std::nullopt);
  EXPECT_EQ(Heading::levelFromRawValue(7), std::nullopt);
  EXPECT_EQ(Heading::levelFromRawValue(-1), std::nullopt);
  const auto level = Heading::levelFromRawValue(3);
  ASSERT_EQ(level, Heading::Level::level3);
  EXPECT_EQ(Heading(*level, {"h"})._markdownContent().blocks,
            (std::vector<Block>{Block::heading(3, {text("h")})}));
  EXPECT_EQ(hashValue(Heading::Level::level2), hashValue(*Heading::levelFromRawValue(2)));

  EXPECT_EQ(CodeBlock(std::nullopt, "x")._markdownContent().blocks,
            (std::vector<Block>{Block::codeBlock(std::nullopt, "x")}));
  EXPECT_EQ(CodeBlock("c", [] { return std::string("made"); })._markdownContent().blocks,
            (std::vector<Block>{Block::codeBlock("c", "made")}));
  EXPECT_EQ(NumberedList(true, 0, {"a"}).start, 0);
  EXPECT_EQ(NumberedList(true, -7, {"a"})._markdownContent().blocks,
            (std::vector<Block>{Block::numberedList(true, -7, {item("a")})}));
  EXPECT_EQ(
      MarkdownContent::build({Blockquote({"> inner", Paragraph({"p"})})}).blocks,
      (std::vector<Block>{Block::blockquote({Block::blockquote({para("inner")}), para("p")})}));
  EXPECT_EQ(TaskListItem::build(true, {"done"}), task(true, "done"));
  EXPECT_EQ(TaskList::of(std::vector<bool>{true, false}, true,
                         [](bool done) { return TaskListItem::build(done, {"t"}); })
                .items,
            (std::vector<TaskListItem>{task(true, "t"), task(false, "t")}));
}

}  // namespace
}  // namespace markdown
