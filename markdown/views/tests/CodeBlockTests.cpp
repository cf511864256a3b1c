#include <foundation/DispatchQueue.h>

#include <chrono>
#include <map>

#include "MarkdownTestSupport.h"
#include "appkit/FakePasteboard.h"
#include "markdown/CodeBlockView.h"

namespace markdown {
namespace {

using namespace std::chrono_literals;

struct RecordingHighlighter final : CodeSyntaxHighlighter {
  mutable std::vector<std::pair<std::string, std::optional<std::string>>> calls;
  ui::Text highlightCode(const std::string& code,
                         const std::optional<std::string>& language) const override {
    calls.emplace_back(code, language);
    return ui::Text::verbatim(code);
  }
};

ui::Environment withPasteboard(std::shared_ptr<appkit::FakePasteboard> pasteboard) {
  return ui::Environment().with<PasteboardKey>(std::move(pasteboard));
}

TEST(CodeBlock, HighlighterGetsTheCodeAndTheFenceLanguage) {
  auto highlighter = std::make_shared<RecordingHighlighter>();
  MarkdownContent content(std::vector<Block>{Block::codeBlock(std::nullopt, "*_`%d\n"),
                                             Block::codeBlock("rust", "fn\n")});
  testing::Rendered r(markdownCodeSyntaxHighlighter(Markdown(content), highlighter));
  ASSERT_EQ(highlighter->calls.size(), 2u);
  EXPECT_EQ(highlighter->calls[0],
            std::make_pair(std::string("*_`%d"), std::optional<std::string>()));
  EXPECT_EQ(highlighter->calls[1].second, "rust");
  // The default highlighter keeps Markdown and format characters as they are.
  EXPECT_EQ(PlainTextCodeSyntaxHighlighter().highlightCode("*_`%d", std::nullopt).plainText(),
            "*_`%d");
}

TEST(CodeBlock, EmptyCodeStillHasItsPaddedBoxBarAndButton) {
  testing::Rendered box(
      ui::AnyView(CodeBlockView(std::nullopt, "")).accessibilityIdentifier("box"));
  EXPECT_EQ(box.frame("box").size(),
            (ui::Size{2 * ui::kDefaultPadding, 2 * ui::kDefaultPadding + 20}));
  EXPECT_TRUE(box.shows("Rectangle (0, 0, 4, 52)")) << box.host.dump();

  // In a document the button sits in the block's top-trailing corner, wholly in sight.
  testing::Rendered r(
      ui::AnyView(Markdown(std::string_view("```\n```\n"))).accessibilityIdentifier("doc"), 600);
  const ui::Rect doc = r.frame("doc"), button = r.frame("copy-code");
  EXPECT_EQ(button.maxX(), doc.maxX());
  EXPECT_EQ(button.y, doc.y);
  EXPECT_GT(button.x, doc.x);
}

TEST(CodeBlock, TheCopyButtonStaysInSightWhileALongLineScrolls) {
  const std::string line(120, 'x');
  testing::Rendered r(ui::AnyView(Markdown(std::string_view("```\n" + line + "\n```\n")))
                          .accessibilityIdentifier("doc"),
                      300);
  const ui::Rect doc = r.frame("doc"), button = r.frame("copy-code");
  EXPECT_EQ(button.maxX(), doc.maxX()) << "at the right edge of what shows, not of the line";
  EXPECT_EQ(button.y, doc.y);

  ASSERT_TRUE(r.host.scrolled({doc.midX(), doc.midY()}, 400, 0)) << "the code scrolls sideways";
  r.host.update();
  EXPECT_EQ(r.frame("copy-code"), button);
  // Still the frontmost thing at its place: a click there copies.
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  r.host.setEnvironment(withPasteboard(pasteboard));
  r.host.update();
  r.click("copy-code");
  EXPECT_EQ(pasteboard->string(), line);
}

TEST(CodeBlock, CopyPutsTheCodeOnThePasteboardAndSaysSoForTwoSeconds) {
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  pasteboard->setString("old");
  testing::Rendered r(Markdown(std::string_view("```\nline 1\nline 2\n```\n")), 600,
                      withPasteboard(pasteboard));
  EXPECT_TRUE(r.shows("\"Copy code\""));
  r.click("copy-code");
  EXPECT_EQ(pasteboard->string(), "line 1\nline 2");
  EXPECT_TRUE(r.shows("\"Copied\""));
  EXPECT_TRUE(r.shows("symbol=checkmark"));

  // A second press a second later: the first reset still ends "Copied" two seconds after
  // the first press, and the second leaves it idle.
  const auto start = std::chrono::steady_clock::now();
  foundation::MainRunLoop::runFor(1000ms);
  r.click("copy-code");
  foundation::MainRunLoop::runUntil(
      [&] { return std::chrono::steady_clock::now() - start >= 2100ms; }, 3000ms);
  r.host.update();
  EXPECT_TRUE(r.shows("\"Copy code\""));
  foundation::MainRunLoop::runFor(1100ms);
  r.host.update();
  EXPECT_TRUE(r.shows("\"Copy code\""));
}

TEST(CodeBlock, AFailedCopyDoesNotClaimSuccess) {
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  pasteboard->setWritesFail(true);
  testing::Rendered r(Markdown(std::string_view("```\ncode\n```\n")), 600,
                      withPasteboard(pasteboard));
  r.click("copy-code");
  EXPECT_TRUE(r.shows("\"Copy code\""));
  EXPECT_FALSE(r.shows("\"Copied\""));
}

TEST(CodeBlock, AResetAfterTheBlockIsGoneTouchesNothing) {
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  {
    testing::Rendered r(Markdown(std::string_view("```\ncode\n```\n")), 600,
                        withPasteboard(pasteboard));
    r.click("copy-code");
    EXPECT_TRUE(r.shows("\"Copied\""));
  }
  foundation::MainRunLoop::runFor(2100ms);  // the reset runs against a freed block: no effect
  EXPECT_EQ(pasteboard->string(), "code");
}

TEST(HTMLBlock, ShowsItsSourceLiterally) {
  testing::Rendered r(Markdown(std::string_view("<b>a</b>\n")));
  EXPECT_TRUE(r.shows("Text (0, 0, 62.4, 15.6) \"<b>a</b>\"")) << r.host.dump();
}

}  // namespace
}  // namespace markdown
