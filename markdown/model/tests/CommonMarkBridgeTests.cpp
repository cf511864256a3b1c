#include <cmark-gfm.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ModelPrinting.h"
#include "markdown/CommonMark.h"

namespace markdown {
namespace {

using namespace spell;

struct ParseCase {
  const char* name;
  std::string markdown;
  std::vector<Block> expected;
};

std::vector<ParseCase> parseCases() {
  const auto none = std::optional<TextTableColumnAlignment>();
  return {
      {"empty", "", {}},
      {"paragraphs", "one\n\ntwo", {para("one"), para("two")}},
      {"soft break", "a\nb", {para({text("a"), Inline::softBreak(), text("b")})}},
      {"hard break by spaces", "a  \nb", {para({text("a"), Inline::lineBreak(), text("b")})}},
      {"hard break by backslash", "a\\\nb", {para({text("a"), Inline::lineBreak(), text("b")})}},
      {"headings",
       "# One\n###### Six\nSetext\n===",
       {Block::heading(1, {text("One")}), Block::heading(6, {text("Six")}),
        Block::heading(1, {text("Setext")})}},
      {"thematic break", "***", {Block::thematicBreak()}},
      {"quote", "> quoted", {Block::blockquote({para("quoted")})}},
      {"emphasis, strong, code",
       "*e* **s** `c`",
       {para({emph({text("e")}), text(" "), strong({text("s")}), text(" "), Inline::code("c")})}},
      {"double tildes", "~~x~~", {para({strike({text("x")})})}},
      {"single tildes", "~x~", {para({strike({text("x")})})}},
      {"bulleted tight", "- a\n- b", {Block::bulletedList(true, {item("a"), item("b")})}},
      {"bulleted loose", "- a\n\n- b", {Block::bulletedList(false, {item("a"), item("b")})}},
      {"numbered start", "3. three", {Block::numberedList(true, 3, {item("three")})}},
      {"task list with a plain item",
       "- [x] done\n- plain",
       {Block::taskList(true, {task(true, "done"), task(false, "plain")})}},
      {"ordered task list",
       "1. [ ] a\n2. [x] b",
       {Block::taskList(true, {task(false, "a"), task(true, "b")})}},
      {"box without text is no task", "- [x]", {Block::bulletedList(true, {item("[x]")})}},
      {"box with a space is a task",
       "- [ ] ",
       {Block::taskList(true, {task(false, std::vector<Block>{})})}},
      {"fence info kept whole",
       "```swift  extra\nlet x\n```",
       {Block::codeBlock("swift  extra", "let x\n")}},
      {"bare fence has empty info", "```\ncode\n```", {Block::codeBlock("", "code\n")}},
      {"indented code has empty info", "    code", {Block::codeBlock("", "code\n")}},
      {"html block unfiltered",
       "<div>\n<script>x()</script>\n</div>",
       {Block::htmlBlock("<div>\n<script>x()</script>\n</div>\n")}},
      {"inline html, one per tag",
       "a <b>c</b>",
       {para({text("a "), Inline::html("<b>"), text("c"), Inline::html("</b>")})}},
      {"www autolink",
       "www.example.com",
       {para({link("http://www.example.com", {text("www.example.com")})})}},
      {"url autolink leaves the final dot, after an empty text",
       "https://x.org.",
       {para({text(""), link("https://x.org", {text("https://x.org")}), text(".")})}},
      {"email autolink has empty texts around it",
       "foo@bar.com",
       {para({text(""), link("mailto:foo@bar.com", {text("foo@bar.com")}), text("")})}},
      {"image without title",
       "![alt *e*](img.png \"t\")",
       {para({image("img.png", {text("alt "), emph({text("e")})})})}},
      {"empty destination", "[e]()", {para({link("", {text("e")})})}},
      {"footnote syntax is a plain link",
       "[^1]\n\n[^1]: note",
       {para({link("note", {text("^1")})})}},
      {"table pads short rows and cuts long ones",
       "| a | b | c |\n|---|:-:|--:|\n| 1 |\n| 1 | 2 | 3 | 4 |",
       {Block::table({none, TextTableColumnAlignment::center, TextTableColumnAlignment::trailing},
                     {{{text("a")}, {text("b")}, {text("c")}},
                      {{text("1")}, {}, {}},
                      {{text("1")}, {text("2")}, {text("3")}}})}},
      {"table leading column",
       "| a |\n|:--|",
       {Block::table({TextTableColumnAlignment::leading}, {{{text("a")}}})}},
  };
}

TEST(CommonMarkBridge, ParsesEveryBlockAndInlineKind) {
  for (const ParseCase& c : parseCases()) {
    EXPECT_EQ(parseMarkdown(c.markdown), c.expected) << c.name;
  }
}

TEST(CommonMarkBridge, DefaultExtensionsAttachInAFixedOrder) {
  std::vector<std::string> names;
  for (const auto& extension : CommonMarkExtension::defaultExtensions()) {
    names.push_back(extension.rawValue);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"autolink", "strikethrough", "table", "tagfilter",
                                             "tasklist"}));
}

TEST(CommonMarkBridge, UnknownExtensionsAreSkipped) {
  const auto document = CommonMarkNode::parse("~x~", {{"no-such-extension"}, {"strikethrough"}}, 0);
  ASSERT_TRUE(document);
  EXPECT_EQ(makeBlocks(*document), (std::vector<Block>{para({strike({text("x")})})}));
  EXPECT_EQ(parseMarkdown("| a |\n|---|").front().kind(), Block::Kind::table);
}

// The document replaced by a move must be freed (a leak shows under the sanitizers), the
// moved-from handle must let go, and moving onto itself must keep the document.
TEST(CommonMarkBridge, MoveAssignmentFreesTheOldDocumentAndTakesTheNew) {
  auto first = CommonMarkNode::parse("first", {}, 0);
  auto second = CommonMarkNode::parse("second", {}, 0);
  ASSERT_TRUE(first && second);
  cmark_node* const secondTree = second->pointer();
  *first = std::move(*second);
  EXPECT_EQ(first->pointer(), secondTree);
  EXPECT_EQ(second->pointer(), nullptr);
  EXPECT_EQ(makeBlocks(*first), (std::vector<Block>{para("second")}));
  CommonMarkNode& same = *first;
  *first = std::move(same);
  EXPECT_EQ(first->pointer(), secondTree);
  // A borrowed inner node is not freed by the handle that is replaced.
  CommonMarkNode inner(cmark_node_first_child(first->pointer()));
  inner = CommonMarkNode(nullptr);
  EXPECT_EQ(makeBlocks(*first), (std::vector<Block>{para("second")}));
}

TEST(CommonMarkBridge, NodesWithoutAMappingAreDroppedWithTheirSubtree) {
  cmark_node* root = cmark_node_new(CMARK_NODE_DOCUMENT);
  const CommonMarkNode document(root);
  const auto paragraph = [](const char* literal, cmark_node* extra = nullptr) {
    cmark_node* node = cmark_node_new(CMARK_NODE_PARAGRAPH);
    cmark_node* text = cmark_node_new(CMARK_NODE_TEXT);
    cmark_node_set_literal(text, literal);
    cmark_node_append_child(node, text);
    if (extra) cmark_node_append_child(node, extra);
    return node;
  };
  cmark_node* customInline = cmark_node_new(CMARK_NODE_CUSTOM_INLINE);
  cmark_node* hiddenText = cmark_node_new(CMARK_NODE_TEXT);
  cmark_node_set_literal(hiddenText, "hidden");
  cmark_node_append_child(customInline, hiddenText);
  cmark_node* customBlock = cmark_node_new(CMARK_NODE_CUSTOM_BLOCK);
  cmark_node_append_child(customBlock, paragraph("inside"));

  cmark_node_append_child(root, paragraph("before", customInline));
  cmark_node_append_child(root, customBlock);
  cmark_node_append_child(root, paragraph("after"));

  EXPECT_EQ(makeBlocks(document), (std::vector<Block>{para("before"), para("after")}));
  EXPECT_FALSE(makeBlock(CommonMarkNode(customBlock)));
  EXPECT_FALSE(makeInline(CommonMarkNode(customInline)));
  EXPECT_EQ(makeInline(CommonMarkNode(hiddenText)), text("hidden"));
}

TEST(CommonMarkBridge, InvalidUTF8IsRepairedBeforeParsing) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ab\xFF\xFE"
       "cd",
       "ab" + fffd + fffd + "cd"},
      {"a\xE2\x82", "a" + fffd},                                         // truncated at the end
      {"a\xE2\x82z", "a" + fffd + "z"},                                  // truncated inside
      {"\xC0\xAFx", fffd + fffd + "x"},                                  // overlong
      {"\xE0\x80x", fffd + fffd + "x"},                                  // overlong
      {"\xED\xA0\x80x", fffd + fffd + fffd + "x"},                       // surrogate
      {"\xF4\x90\x80\x80x", fffd + fffd + fffd + fffd + "x"},            // beyond U+10FFFF
      {"\xF0\x9F\x98x", fffd + "x"},                                     // truncated four bytes
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},  // valid stays
  };
  for (const auto& [input, repaired] : cases) {
    EXPECT_EQ(parseMarkdown(input), (std::vector<Block>{para(repaired)})) << repaired;
  }
}

int containerDepth(const std::vector<Inline>& inlines);
int containerDepth(const std::vector<Block>& blocks);

int containerDepth(const std::vector<Inline>& inlines) {
  int deepest = 0;
  for (const Inline& inline_ : inlines) {
    std::visit(
        [&](const auto& p) {
          if constexpr (requires { p.children; }) {
            deepest = std::max(deepest, 1 + containerDepth(p.children));
          }
        },
        inline_.value);
  }
  return deepest;
}

int containerDepth(const std::vector<Block>& blocks) {
  int deepest = 0;
  for (const Block& block : blocks) {
    std::visit(
        [&](const auto& p) {
          if constexpr (requires { p.blocks; }) {
            deepest = std::max(deepest, 1 + containerDepth(p.blocks));
          } else if constexpr (requires { p.items; }) {
            for (const auto& item : p.items) {
              deepest = std::max(deepest, 2 + containerDepth(item.blocks));
            }
          } else if constexpr (requires { p.inlines; }) {
            deepest = std::max(deepest, 1 + containerDepth(p.inlines));
          }
        },
        block.value);
  }
  return deepest;
}

// The innermost block of a chain of quotes.
const Block& innermost(const std::vector<Block>& blocks) {
  const Block* block = &blocks.front();
  while (const auto* quote = block->as<Block::Blockquote>()) block = &quote->blocks.front();
  return *block;
}

TEST(CommonMarkBridge, DeepNestingIsCutAndKeepsItsText) {
  {
    const std::vector<Block> blocks = parseMarkdown(std::string(100000, '>') + " deep");
    EXPECT_LE(containerDepth(blocks), kMaxNestingDepth + 1);
    EXPECT_EQ(innermost(blocks), para("deep"));
    const std::vector<Block> copy = blocks;
    EXPECT_EQ(copy, blocks);
    EXPECT_EQ(std::hash<Block>{}(copy.front()), std::hash<Block>{}(blocks.front()));
  }
  {
    std::string markdown, flat;
    for (int i = 0; i < 20000; ++i) markdown += "*a ";
    markdown += "x";
    for (int i = 0; i < 20000; ++i) markdown += " b*";
    const std::vector<Block> blocks = parseMarkdown(markdown);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_LE(containerDepth(blocks), kMaxNestingDepth + 1);
    for (int i = 0; i < 20000; ++i) flat += "a ";
    flat += "x";
    for (int i = 0; i < 20000; ++i) flat += " b";
    EXPECT_EQ(plainText(blocks.front().as<Block::Paragraph>()->inlines), flat);
    const std::vector<Block> copy = blocks;
    EXPECT_EQ(copy, blocks);
    EXPECT_EQ(std::hash<Block>{}(copy.front()), std::hash<Block>{}(blocks.front()));
  }
  {
    std::string markdown;
    for (int i = 0; i < 20000; ++i) markdown += "- ";
    markdown += "leaf";
    const std::vector<Block> blocks = parseMarkdown(markdown);
    EXPECT_LE(containerDepth(blocks), kMaxNestingDepth + 1);
    EXPECT_EQ(blocks, parseMarkdown(markdown));
  }
}

TEST(CommonMarkBridge, ShallowDocumentsAreNotCut) {
  const std::vector<Block> blocks = parseMarkdown(std::string(100, '>') + " *a **b***");
  EXPECT_EQ(innermost(blocks), para({emph({text("a "), strong({text("b")})})}));
}

TEST(CommonMarkBridge, ParsesFromSeveralThreadsAtOnce) {
  const std::string markdown = "| a | b |\n|---|--:|\n| ~x~ | y |\n\n- [x] t";
  const std::vector<Block> expected = parseMarkdown(markdown);
  ASSERT_EQ(expected.size(), 2u);
  std::vector<std::vector<Block>> results(8);
  std::vector<std::thread> threads;
  for (auto& result : results) {
    threads.emplace_back([&result, &markdown] {
      for (int i = 0; i < 50; ++i) result = parseMarkdown(markdown);
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, expected);
}

}  // namespace
}  // namespace markdown
