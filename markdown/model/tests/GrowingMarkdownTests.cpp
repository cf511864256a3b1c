#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ModelPrinting.h"
#include "markdown/CommonMark.h"
#include "markdown/GrowingMarkdown.h"

namespace markdown {
namespace {

std::vector<Block> blocksOf(const DocumentBlocks& document) {
  std::vector<Block> blocks;
  for (std::size_t i = 0; i < document.size(); ++i) blocks.push_back(document[i]->block);
  return blocks;
}

// Texts whose blocks end, continue and change kind as lines arrive: loose and tight lists, a
// list closed by a paragraph, fenced code with blank lines, setext headings, tables, quotes with
// lazy lines, HTML blocks, indented code after a blank line, line ends of every kind.
const std::vector<std::string>& samples() {
  static const std::vector<std::string> texts = {
      "# Title\n\nA paragraph\nover two lines.\n\n- one\n- two\n\n- three, loose\n\nAfter the "
      "list.\n"
      "\n```swift\nlet a = 1\n\n\nlet b = 2\n```\n\nSetext\n===\n\nMore\n---\n\n| a | b "
      "|\n|---|:-:|\n"
      "| 1 | 2 |\n| 3 | 4 |\n\n> quoted\nlazy line\n\n> - nested\n>   "
      "list\n\n<div>\nhtml\n</div>\n\n"
      "    indented code\n\n    more code\n\n1. first\n2. second\n   continued\n\n***\n\nThe end.",
      "Line one\r\nLine two\r\n\r\n- item\r\n\r\nPara\rnext\r\rlast",
      "* a\n\n  b\n\n* c\n\n```\nunclosed fence\n\nstill code",
      "Text with *emphasis* and **strong** and `code` and a https://example.com link.\n\n"
      "- [ ] task\n- [x] done\n\n~~struck~~ text\n\nA | B\n--|--\nc | d\n",
  };
  return texts;
}

TEST(GrowingMarkdown, EveryPrefixGivesTheBlocksOfAWholeParse) {
  for (const std::string& text : samples()) {
    for (std::size_t step : {1u, 3u, 17u}) {
      GrowingMarkdown growing;
      for (std::size_t end = 0; end <= text.size(); end += step) {
        const std::string_view prefix = std::string_view(text).substr(0, end);
        ASSERT_EQ(blocksOf(growing.parse(prefix)), parseMarkdown(prefix))
            << "step " << step << " at " << end << ":\n"
            << prefix;
      }
      EXPECT_EQ(blocksOf(growing.parse(text)), parseMarkdown(text));
    }
  }
}

TEST(GrowingMarkdown, AnAnswerStreamedInPiecesOfAnySizeParsesAsAWhole) {
  // An answer of the usual kinds of blocks, streamed in pieces of 1 to 40 bytes.
  std::string text = "# Answer\n\n";
  for (int n = 0; text.size() < 16 * 1024; ++n) {
    const std::string i = std::to_string(n);
    text += "## Part " + i + "\n\nStep " + i + " with *emphasis*, **strong** and `code`.\n\n";
    text += n % 3 ? "- one\n- two\n  continued\n\n" : "1. first\n2. second\n\n";
    if (n % 4 == 1) text += "```swift\nlet a = " + i + "\n\nprint(a)\n```\n\n";
    if (n % 5 == 2) text += "| a | b |\n|---|--:|\n| " + i + " | x |\n\n";
    if (n % 6 == 3) text += "> quoted\n> - item\n\n---\n";
  }
  std::uint32_t seed = 7;
  GrowingMarkdown growing;
  for (std::size_t end = 0; end < text.size();) {
    seed = seed * 1664525u + 1013904223u;
    end = std::min(text.size(), end + 1 + (seed >> 16) % 40);
    const std::string_view prefix = std::string_view(text).substr(0, end);
    ASSERT_EQ(blocksOf(growing.parse(prefix, true)), parseMarkdown(prefix)) << "at " << end;
  }
  EXPECT_GT(growing.settledLength(), text.size() - 200);
}

TEST(GrowingMarkdown, ClosedBlocksAreParsedOnceAndShared) {
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += (i ? "\n\n" : "") + std::string("Paragraph ") + std::to_string(i) + " of the answer.";
  GrowingMarkdown growing;
  const DocumentBlocks before = growing.parse(text);
  ASSERT_EQ(before.size(), 200u);
  // Only the last two paragraphs are left open: the last line, still growing, might yet join
  // the paragraph before.
  EXPECT_EQ(growing.settledLength(), text.rfind("Paragraph 198"));
  const DocumentBlocks after = growing.parse(text + " More");
  ASSERT_EQ(after.size(), 200u);
  for (std::size_t i = 0; i < 198; ++i) EXPECT_EQ(before[i], after[i]) << i;
  EXPECT_NE(before[199], after[199]);
  EXPECT_EQ(after[199]->block,
            Block::paragraph({Inline::text("Paragraph 199 of the answer. More")}));
  EXPECT_FALSE(before == after);
  EXPECT_TRUE(after == growing.parse(text + " More"));
}

TEST(GrowingMarkdown, ATextThatDoesNotContinueTheLastIsParsedAnew) {
  GrowingMarkdown growing;
  growing.parse("First answer.\n\nSecond paragraph.\n\nThird.");
  EXPECT_EQ(blocksOf(growing.parse("Another answer.\n\n- with a list")),
            parseMarkdown("Another answer.\n\n- with a list"));
  EXPECT_EQ(blocksOf(growing.parse("")), std::vector<Block>{});
}

TEST(GrowingMarkdown, ATableWhoseHeaderAParagraphHeldKeepsTheParagraphOpen) {
  // The table's header line first belongs to the paragraph above; once the delimiter row
  // arrives the table starts on a line the paragraph reached, so that start closes nothing.
  const std::string text =
      "xxxxxxx > > - [ table= 1;\n```\n\ny| a | b  a\n>   * b\n\n<div>\nblock\n</div>\n\n"
      "https://zzzzzzzzzzzzzzautop\nint x = 0v>\n\nhttps://autop\nint x = 0;\n```\n\n"
      "| a | b |\n|:--|--;\nxxxxxxx  | b |\n|:--|--:|\n| 1 |!2 |\n";
  for (std::size_t piece : {63u, 5u, 1u}) {
    GrowingMarkdown growing;
    for (std::size_t end = 0; end < text.size();) {
      end = std::min(text.size(), end + piece);
      const std::string_view prefix = std::string_view(text).substr(0, end);
      ASSERT_EQ(blocksOf(growing.parse(prefix, true)), parseMarkdown(prefix))
          << "piece " << piece << " at " << end;
    }
  }
}

TEST(GrowingMarkdown, LinkReferenceDefinitionsReachBackIntoClosedBlocks) {
  // A definition after the link it names turns that link, in a closed block above, into a link.
  const std::string text = "See [the docs][d].\n\nMore text.\n\n[d]: https://example.com/docs\n";
  GrowingMarkdown growing;
  for (std::size_t end = 0; end <= text.size(); ++end)
    ASSERT_EQ(blocksOf(growing.parse(std::string_view(text).substr(0, end))),
              parseMarkdown(std::string_view(text).substr(0, end)))
        << end;
  // Inside a quote or a list item too; a bracket in running text is no definition.
  EXPECT_TRUE(mayDefineLinkReference("x\n\n> [a]: /b\n"));
  EXPECT_TRUE(mayDefineLinkReference("- [a]:\n  /b\n"));
  EXPECT_TRUE(mayDefineLinkReference("   [a\nlabel]: /b"));
  EXPECT_FALSE(mayDefineLinkReference("text [a] and b]: c\n\nx = y[0]:\n"));
  EXPECT_FALSE(mayDefineLinkReference("- [ ] task\n- [x] done\n"));
}

}  // namespace
}  // namespace markdown
