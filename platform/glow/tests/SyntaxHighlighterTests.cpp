#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "glow/SyntaxHighlighter.h"
#include "glow/Theme.h"

namespace glow {
namespace {

// Writes every call it receives into a shared log.
struct LoggingFormat {
  using Output = std::string;
  struct Builder {
    std::shared_ptr<std::vector<std::string>> log;
    std::string text;
    void addToken(std::string_view token, TokenType type) {
      log->push_back(std::string(name(type)) + ":" + std::string(token));
      text += token;
    }
    void addPlainText(std::string_view t) {
      log->push_back("plain:" + std::string(t));
      text += t;
    }
    void addWhitespace(std::string_view w) {
      log->push_back("whitespace:" + std::string(w));
      text += w;
    }
    std::string build() && {
      log->push_back("build");
      return text;
    }
  };
  std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
  Builder makeBuilder() const {
    log->push_back("makeBuilder");
    return Builder{log, {}};
  }
};

TEST(SyntaxHighlighter, OneBuilderPerHighlightFedInTextOrder) {
  const SyntaxHighlighter highlighter(LoggingFormat{}, SwiftGrammar());
  EXPECT_EQ(highlighter.highlight("let x = f(1)"), "let x = f(1)");
  EXPECT_EQ(*highlighter.format().log,
            (std::vector<std::string>{"makeBuilder", "keyword:let", "whitespace: ", "plain:x",
                                      "whitespace: ", "plain:=", "whitespace: ", "call:f",
                                      "plain:(", "number:1", "plain:)", "build"}));
  highlighter.format().log->clear();
  EXPECT_EQ(highlighter.highlight(""), "");
  EXPECT_EQ(*highlighter.format().log, (std::vector<std::string>{"makeBuilder", "build"}));
}

TEST(Theme, MidnightColoursEveryKindAndFallsBackToPlain) {
  const Theme midnight = Theme::midnight(ui::Font::system(16));
  EXPECT_EQ(midnight.font, ui::Font::system(16));
  EXPECT_EQ(midnight.tokenColors.size(), 9u);
  EXPECT_EQ(midnight.colorFor(TokenType::keyword), ui::Color::rgba(0xFC5FA3FF));
  Theme partial = midnight;
  partial.tokenColors.erase(TokenType::string);
  EXPECT_EQ(partial.colorFor(TokenType::string), midnight.plainTextColor);
}

}  // namespace
}  // namespace glow
