#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "glow/Theme.h"
#include "panel/GlowCodeSyntaxHighlighter.h"

namespace panel {
namespace {

using glow::Theme;
using glow::TokenType;

// One run of the result: its text and colour.
struct ColoredRun {
  std::string text;
  std::optional<ui::Color> color;
  bool operator==(const ColoredRun&) const = default;
};

std::vector<ColoredRun> runsOf(const ui::Text& text) {
  const std::string plain = text.plainText();
  std::vector<ColoredRun> runs;
  for (const ui::Text::Run& run : text.runs()) {
    runs.push_back({plain.substr(run.begin, run.end - run.begin), run.attributes.foregroundColor});
  }
  return runs;
}

Theme midnight() {
  return Theme::midnight(ui::Font::system(16));
}

ui::Color colorOf(TokenType type) {
  return midnight().tokenColors.at(type);
}

TEST(GlowCodeSyntaxHighlighter, ColoursEachKindFromTheTheme) {
  const GlowCodeSyntaxHighlighter highlighter(midnight());
  const ui::Color plain = midnight().plainTextColor;
  EXPECT_EQ(runsOf(highlighter.highlightCode("@objc let s: Foo = .red // c\nx.y(0x1F, \"s\")",
                                             std::nullopt)),
            (std::vector<ColoredRun>{{"@objc", colorOf(TokenType::preprocessing)},
                                     {" ", std::nullopt},
                                     {"let", colorOf(TokenType::keyword)},
                                     {" ", std::nullopt},
                                     {"s:", plain},
                                     {" ", std::nullopt},
                                     {"Foo", colorOf(TokenType::type)},
                                     {" ", std::nullopt},
                                     {"=", plain},
                                     {" ", std::nullopt},
                                     {".", plain},
                                     {"red", colorOf(TokenType::dotAccess)},
                                     {" ", std::nullopt},
                                     {"// c", colorOf(TokenType::comment)},
                                     {"\n", std::nullopt},
                                     {"x.", plain},
                                     {"y", colorOf(TokenType::call)},
                                     {"(", plain},
                                     {"0x1F", colorOf(TokenType::number)},
                                     {",", plain},
                                     {" ", std::nullopt},
                                     {"\"s\"", colorOf(TokenType::string)},
                                     {")", plain}}));
}

TEST(GlowCodeSyntaxHighlighter, KindMissingFromTheThemeTakesThePlainColour) {
  Theme theme = midnight();
  theme.tokenColors = {{TokenType::keyword, ui::Color::rgba(0x123456FF)}};
  theme.plainTextColor = ui::Color::rgba(0xABCDEFFF);
  const GlowCodeSyntaxHighlighter highlighter(theme);
  EXPECT_EQ(runsOf(highlighter.highlightCode("let s = \"x\"", "swift")),
            (std::vector<ColoredRun>{{"let", ui::Color::rgba(0x123456FF)},
                                     {" ", std::nullopt},
                                     {"s", ui::Color::rgba(0xABCDEFFF)},
                                     {" ", std::nullopt},
                                     {"=", ui::Color::rgba(0xABCDEFFF)},
                                     {" ", std::nullopt},
                                     {"\"x\"", ui::Color::rgba(0xABCDEFFF)}}));
}

constexpr char kBrokenBytes[] = "bad \xff\xc3 bytes \0 and a cut \xf0\x9f\x98";

TEST(GlowCodeSyntaxHighlighter, EveryCodeComesBackExactlyWhateverTheLanguage) {
  const std::string broken(kBrokenBytes, sizeof kBrokenBytes - 1);
  const GlowCodeSyntaxHighlighter highlighter(midnight());
  EXPECT_TRUE(highlighter.highlightCode("", std::nullopt).empty());
  EXPECT_EQ(highlighter.highlightCode("", "python"), ui::Text());
  const std::vector<std::string> codes = {
      "def f(x):\r\n\treturn x  # 😀\r\n",
      "printf(\"%d\\n\", 42); /* unterminated",
      "let s = \"open\nlet t = \"\"\"\n",
      broken,
      "\t\t  \n",
  };
  for (const std::string& code : codes) {
    const ui::Text swift = highlighter.highlightCode(code, "swift");
    EXPECT_EQ(swift.plainText(), code);
    EXPECT_EQ(highlighter.highlightCode(code, "python"), swift);
    EXPECT_EQ(highlighter.highlightCode(code, std::nullopt), swift);
    for (const ColoredRun& run : runsOf(swift)) {
      const bool blank = run.text.find_first_not_of(" \t\r\n\v\f") == std::string::npos;
      EXPECT_EQ(run.color.has_value(), !blank) << "'" << run.text << "' in: " << code;
    }
  }
}

}  // namespace
}  // namespace panel
