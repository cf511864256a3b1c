#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../src/ParseArena.h"
#include "markdown/CommonMark.h"

namespace markdown {
namespace {

std::string answerOf(std::size_t bytes, const std::string& word) {
  std::string text;
  while (text.size() < bytes)
    text += "- **" + word + "** and `code`\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n";
  return text;
}

// Slabs handed on to later documents stay theirs alone: documents parsed while others are
// alive, then read after those are gone, keep their own text.
TEST(ParseArena, KeptSlabsServeOneDocumentAtATimeAndStayBounded) {
  const auto extensions = CommonMarkExtension::defaultExtensions();
  for (const std::size_t kib : {1, 20, 300, 2, 20}) {
    auto first = CommonMarkNode::parse(answerOf(kib * 1024, "first"), extensions, 0);
    auto second = CommonMarkNode::parse(answerOf(kib * 512, "second"), extensions, 0);
    ASSERT_TRUE(first && second);
    const auto expected = parseMarkdown(answerOf(kib * 512, "second"));
    first.reset();
    auto third = CommonMarkNode::parse(answerOf(kib * 1024, "third"), extensions, 0);
    EXPECT_EQ(makeBlocks(*second), expected);
    EXPECT_EQ(makeBlocks(*third), parseMarkdown(answerOf(kib * 1024, "third")));
    EXPECT_LE(ParseArena::keptBytes(), ParseArena::kKeptBytes);
  }
  EXPECT_GT(ParseArena::keptBytes(), 0u);
}

}  // namespace
}  // namespace markdown
