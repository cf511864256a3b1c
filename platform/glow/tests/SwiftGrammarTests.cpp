#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "RecordingSink.h"

namespace glow {
namespace {

using testing::joined;
using testing::Piece;
using testing::tokenize;

// The kind of the first piece that is exactly `text`, or "absent".
std::string kindOf(std::string_view code, std::string_view text) {
  for (const Piece& piece : tokenize(code)) {
    if (piece.text == text) return piece.kind;
  }
  return "absent";
}

TEST(SwiftGrammar, Classifications) {
  struct Case {
    std::string code, text, kind;
  };
  const std::vector<Case> cases = {
      {"let x = 1", "let", "keyword"},
      {"guard let x else { return }", "return", "keyword"},
      {"let x = 1", "x", "plain"},
      {"let s = \"x\"", "\"x\"", "string"},
      {R"(say("a \"quoted\" \\ word\n"))", R"("a \"quoted\" \\ word\n")", "string"},
      {"let s = \"\"\"\nline \"one\"\n  two\n\"\"\" + x", "\"\"\"\nline \"one\"\n  two\n\"\"\"",
       "string"},
      {R"(let p = #"C:\new "dir""#;)", R"(#"C:\new "dir""#)", "string"},
      {R"(let p = ##"a "# b"##)", R"(##"a "# b"##)", "string"},
      {"let t = #\"\"\"\nraw \\n\n\"\"\"#", "#\"\"\"\nraw \\n\n\"\"\"#", "string"},
      {"// c", "// c", "comment"},
      {"x // note\ny", "// note", "comment"},
      {"/* a /* b */ c */ let", "/* a /* b */ c */", "comment"},
      {"/* a /* b */ c */ let", "let", "keyword"},
      {"42", "42", "number"},
      {"1_000_000", "1_000_000", "number"},
      {"3.14e-2", "3.14e-2", "number"},
      {"6.02E+23", "6.02E+23", "number"},
      {"0xFF_FF", "0xFF_FF", "number"},
      {"0x1.8p3", "0x1.8p3", "number"},
      {"0o17", "0o17", "number"},
      {"0b1010_0101", "0b1010_0101", "number"},
      {"for i in 1..<5 {}", "..<", "plain"},
      {"let f: Foo = x", "Foo", "type"},
      {"bar(1)", "bar", "call"},
      {"Foo(1)", "Foo", "type"},
      {"if (x)", "if", "keyword"},
      {"a.b", "b", "property"},
      {"a.b(1)", "b", "call"},
      {"a.B", "B", "type"},
      {"a?.b", "b", "property"},
      {"a!.b", "b", "property"},
      {"[1].count", "count", "property"},
      {"f().count", "count", "property"},
      {"self.count", "count", "property"},
      {"view\n    .padding()", "padding", "call"},
      {"let c: Color = .red", "red", "dotAccess"},
      {"case .red:", "red", "dotAccess"},
      {"f(.red)", "red", "dotAccess"},
      {"x ?? .none", "none", "dotAccess"},
      {"c ? .a : .b", "b", "dotAccess"},
      {"Array<Int>.self", "self", "keyword"},
      {"a.default", "default", "property"},
      {"@MainActor final class A {}", "@MainActor", "preprocessing"},
      {"@objc func f()", "@objc", "preprocessing"},
      {"#if DEBUG\n#endif", "#if", "preprocessing"},
      {"#if DEBUG\n#endif", "#endif", "preprocessing"},
      {"if #available(macOS 13, *) {}", "#available", "preprocessing"},
      {"#selector(f)", "#selector", "preprocessing"},
      {"let `default` = 1", "`default`", "plain"},
      {"$0.name", "name", "property"},
      {"let café = 1", "café", "plain"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kindOf(c.code, c.text), c.kind) << "'" << c.text << "' in: " << c.code;
  }
}

TEST(SwiftGrammar, InterpolationIsCodeInsideTheString) {
  EXPECT_EQ(tokenize(R"("n = \(count + f(1))!" + x)"), (std::vector<Piece>{{R"("n = \()", "string"},
                                                                           {"count", "plain"},
                                                                           {" ", "whitespace"},
                                                                           {"+", "plain"},
                                                                           {" ", "whitespace"},
                                                                           {"f", "call"},
                                                                           {"(", "plain"},
                                                                           {"1", "number"},
                                                                           {")", "plain"},
                                                                           {R"()!")", "string"},
                                                                           {" ", "whitespace"},
                                                                           {"+", "plain"},
                                                                           {" ", "whitespace"},
                                                                           {"x", "plain"}}));
  // A raw string interpolates only with its own number of signs.
  EXPECT_EQ(kindOf(R"~(#"a \(x) \#(y)"#)~", "y"), "plain");
  EXPECT_EQ(kindOf(R"~(#"a \(x) \#(y)"#)~", "x"), "absent");
  // Strings nest inside interpolations.
  EXPECT_EQ(kindOf(R"~("a \("b \(c)") d" + e)~", "c"), "plain");
  EXPECT_EQ(kindOf(R"~("a \("b \(c)") d" + e)~", "e"), "plain");
}

TEST(SwiftGrammar, UnterminatedConstructsEndSensibly) {
  // A one-line string, and any interpolation in it, ends with its line.
  EXPECT_EQ(kindOf("let s = \"abc\nlet t", "\"abc"), "string");
  EXPECT_EQ(kindOf("let s = \"abc\nlet t", "let"), "keyword");
  EXPECT_EQ(kindOf("print(\"a \\(b\nlet t = 1", "t"), "plain");
  EXPECT_EQ(kindOf("print(\"a \\(b\nlet t = 1", "1"), "number");
  EXPECT_EQ(kindOf("\"a\\\r\nlet", "let"), "keyword");
  // Multi-line strings and block comments run to the end.
  EXPECT_EQ(tokenize("x = \"\"\"\nlet y"), (std::vector<Piece>{{"x", "plain"},
                                                               {" ", "whitespace"},
                                                               {"=", "plain"},
                                                               {" ", "whitespace"},
                                                               {"\"\"\"\nlet y", "string"}}));
  EXPECT_EQ(tokenize("/* a /* b */ let"), (std::vector<Piece>{{"/* a /* b */ let", "comment"}}));
  EXPECT_EQ(tokenize("#\"raw\" let"), (std::vector<Piece>{{"#\"raw\" let", "string"}}));
  EXPECT_EQ(tokenize("\"abc\\"), (std::vector<Piece>{{"\"abc\\", "string"}}));
  EXPECT_EQ(tokenize("0x"), (std::vector<Piece>{{"0x", "number"}}));
  EXPECT_TRUE(tokenize("").empty());
}

TEST(SwiftGrammar, LineEndingsTabsAndWideCharacters) {
  EXPECT_EQ(tokenize("let a\r\n\t// c\r\nb"), (std::vector<Piece>{{"let", "keyword"},
                                                                  {" ", "whitespace"},
                                                                  {"a", "plain"},
                                                                  {"\r\n\t", "whitespace"},
                                                                  {"// c", "comment"},
                                                                  {"\r\n", "whitespace"},
                                                                  {"b", "plain"}}));
  EXPECT_EQ(kindOf("let s = \"😀\" // 👋🏽", "\"😀\""), "string");
  EXPECT_EQ(kindOf("let s = \"😀\" // 👋🏽", "// 👋🏽"), "comment");
  EXPECT_EQ(kindOf("let 😀 = 1", "😀"), "plain");
}

TEST(SwiftGrammar, DeepNestingNeedsNoRecursion) {
  // Comparisons go through EXPECT_TRUE so that a failure does not print megabytes.
  constexpr int kDepth = 100'000;
  std::string opened;
  for (int i = 0; i < kDepth; ++i) opened += "/*";
  std::string closed;
  for (int i = 0; i < kDepth; ++i) closed += "*/";
  const std::string comment = opened + " x " + closed;
  EXPECT_TRUE(tokenize(comment + " let") ==
              (std::vector<Piece>{{comment, "comment"}, {" ", "whitespace"}, {"let", "keyword"}}));
  EXPECT_TRUE(tokenize(opened + "*/") == (std::vector<Piece>{{opened + "*/", "comment"}}));

  std::string interpolations;
  for (int i = 0; i < kDepth; ++i) interpolations += "\"\\(";
  EXPECT_TRUE(tokenize(interpolations) == (std::vector<Piece>{{interpolations, "string"}}));
  std::string balanced = interpolations + "x";
  for (int i = 0; i < kDepth; ++i) balanced += ")\"";
  const auto pieces = tokenize(balanced + " let");
  EXPECT_TRUE(joined(pieces) == balanced + " let");
  EXPECT_EQ(pieces.size(), 5u);
  EXPECT_EQ(pieces[1], (Piece{"x", "plain"}));
  EXPECT_EQ(pieces.back(), (Piece{"let", "keyword"}));
}

TEST(SwiftGrammar, LongRunsOfDelimitersAreReadOnce) {
  // Each of these took time quadratic in the run when every quote looked at the whole run.
  const std::string quotes(200'000, '"');
  const std::string hashes(200'000, '#');
  for (const std::string& code :
       {"#\"" + quotes, "#\"\"\"" + quotes, quotes, "\"" + hashes + "\"" + hashes,
        hashes + "\"" + quotes + hashes.substr(1) + "\\" + hashes}) {
    const auto pieces = tokenize(code);
    EXPECT_TRUE(joined(pieces) == code);
  }
  EXPECT_EQ(tokenize("#\"" + quotes).size(), 1u);
}

// Pieces of the text an answer's code may hold, valid UTF-8 or not.
std::string randomCode(std::mt19937& random, bool validUtf8) {
  static const std::vector<std::string> fragments = {
      "\"",  "\"\"\"", "#",  "##",       "\\",   "\\(",  "\\#(", "(",  ")",  "/*",  "*/",
      "//",  "/",      "*",  "\n",       "\r",   "\r\n", "\t",   " ",  ".",  "..",  "..<",
      "?",   "!",      "0x", "0b",       "0o",   "1",    "_",    "e-", "p+", "3.5", "let",
      "Foo", "bar",    "@",  "`",        "$0",   "=",    "[",    "]",  "{",  "}",   ",",
      "😀",   "é",      "漢", "👋🏽", "\t\t", "\v",   "#if",  ":",  "'"};
  static const std::vector<std::string> broken = {
      "\xff", "\xc3", "\xe6\xbc", "\x80", std::string(1, '\0'), "\xf0\x9f\x98"};
  std::uniform_int_distribution<int> length(0, 120);
  std::uniform_int_distribution<std::size_t> pick(0, fragments.size() - 1);
  std::uniform_int_distribution<std::size_t> pickBroken(0, broken.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> odds(0, 9);
  std::string code;
  for (int n = length(random); n > 0; --n) {
    const int roll = odds(random);
    if (!validUtf8 && roll == 0) {
      code += broken[pickBroken(random)];
    } else if (!validUtf8 && roll == 1) {
      code += static_cast<char>(byte(random));
    } else {
      code += fragments[pick(random)];
    }
  }
  return code;
}

bool isContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

TEST(SwiftGrammar, PiecesAreExactlyTheInput) {
  std::mt19937 random(20261209);
  for (int i = 0; i < 4000; ++i) {
    const bool valid = i % 2 == 0;
    const std::string code = randomCode(random, valid);
    const auto pieces = tokenize(code);
    ASSERT_EQ(joined(pieces), code) << "case " << i;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
      ASSERT_FALSE(pieces[p].text.empty()) << "case " << i;
      if (p > 0) {
        ASSERT_NE(pieces[p].kind, pieces[p - 1].kind) << "case " << i;
      }
      // A valid character is never cut between two pieces.
      if (valid) {
        ASSERT_FALSE(isContinuation(pieces[p].text[0])) << "case " << i;
      }
    }
  }
}

}  // namespace
}  // namespace glow
