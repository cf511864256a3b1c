#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/DataModel.h"
#include "core/PromptPieces.h"

namespace core {
namespace {

struct Piece {
  std::string text;
  bool bracketed;
};

void expectPieces(const std::string& text, const std::vector<Piece>& expected) {
  const auto pieces = splitPromptText(text);
  ASSERT_EQ(pieces.size(), expected.size()) << text;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i].id, static_cast<std::int64_t>(i)) << text;
    EXPECT_EQ(pieces[i].text, expected[i].text) << text;
    EXPECT_EQ(pieces[i].isBracketed, expected[i].bracketed) << text;
  }
  EXPECT_EQ(joinPromptPieces(pieces), text);
}

TEST(SplitPromptTextTest, CutsBeforeOpeningAndAfterClosingBrackets) {
  expectPieces(std::string(kDefaultFillInPrompt), {{"Create a compelling CTA for our ", false},
                                                   {"[landing page/email/website]", true},
                                                   {" that encourages ", false},
                                                   {"[ideal customer persona]", true},
                                                   {" to ", false},
                                                   {"[desired action]", true},
                                                   {".", false}});
  EXPECT_EQ(kDefaultFillInPrompt.size(), 122u);
  expectPieces("", {});
  expectPieces("no brackets here", {{"no brackets here", false}});
  expectPieces("[]", {{"[]", true}});
  expectPieces("a]b", {{"a]", true}, {"b", false}});
  expectPieces("]", {{"]", true}});
  expectPieces("[a[b]", {{"[a", false}, {"[b]", true}});
  expectPieces("[[x]]", {{"[", false}, {"[x]", true}, {"]", true}});
  expectPieces("open [end", {{"open ", false}, {"[end", false}});
  expectPieces("[a][b]", {{"[a]", true}, {"[b]", true}});
}

TEST(SplitPromptTextTest, ABracketWithACombiningMarkIsNoBracket) {
  expectPieces("[\u0301x]", {{"[\u0301x]", true}});
  expectPieces("a[\u0301b", {{"a[\u0301b", false}});
  expectPieces("x]\u20DDy", {{"x]\u20DDy", false}});
  expectPieces("🧪[é]👍🏽", {{"🧪", false}, {"[é]", true}, {"👍🏽", false}});
}

TEST(FillSelectedTextTest, ReplacesEveryPlaceholderExactly) {
  EXPECT_EQ(fillSelectedText("Fix: {selected text}", "teh cat"), "Fix: teh cat");
  EXPECT_EQ(fillSelectedText("{selected text} and {selected text}", "x"), "x and x");
  EXPECT_EQ(fillSelectedText("no placeholder", "x"), "no placeholder");
  EXPECT_EQ(fillSelectedText("{Selected text} {selected  text}", "x"),
            "{Selected text} {selected  text}");
  // The inserted text is not searched again.
  EXPECT_EQ(fillSelectedText("<{selected text}>", "{selected text}"), "<{selected text}>");
  EXPECT_EQ(fillSelectedText("{selected text}", ""), "");
}

}  // namespace
}  // namespace core
