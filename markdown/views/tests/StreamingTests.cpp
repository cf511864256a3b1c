#include <map>

#include "MarkdownTestSupport.h"
#include "appkit/FakePasteboard.h"
#include "markdown/CodeBlockView.h"

namespace markdown {
namespace {

struct CountingHighlighter final : CodeSyntaxHighlighter {
  mutable std::map<std::string, int> calls;
  ui::Text highlightCode(const std::string& code,
                         const std::optional<std::string>&) const override {
    ++calls[code];
    return ui::Text::verbatim(code);
  }
};

// An answer shown while it streams in, as the panel does: a new Markdown value per token.
struct Stream {
  explicit Stream(std::string text) : text(std::move(text)) {
    host = std::make_unique<ui::ViewHost>(view(), std::make_shared<ui::FakeTextMeasurer>());
    host->setEnvironment(ui::Environment().with<PasteboardKey>(pasteboard));
    host->setProposal({600.0, std::nullopt});
    host->update();
  }
  ui::AnyView view() const {
    return markdownCodeSyntaxHighlighter(
        markdownTextStyle(Markdown(std::string_view(text)), FontSize(14)), highlighter);
  }
  // Appends and renders; returns the bodies evaluated for it.
  std::size_t append(const std::string& token) {
    text += token;
    host->resetStats();
    host->setRoot(view());
    host->update();
    return host->stats().bodiesEvaluated;
  }
  std::shared_ptr<CountingHighlighter> highlighter = std::make_shared<CountingHighlighter>();
  std::shared_ptr<appkit::FakePasteboard> pasteboard = std::make_shared<appkit::FakePasteboard>();
  std::string text;
  std::unique_ptr<ui::ViewHost> host;
};

std::string prefix(int paragraphs) {
  std::string s = "# Answer\n\n";
  for (int i = 0; i < paragraphs; ++i) s += "Paragraph " + std::to_string(i) + " says *so*.\n\n";
  return s + "```c\nint x = 1;\n```\n\n- one\n- two\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n";
}

TEST(Streaming, OnlyTheGrowingLastBlockIsBuiltAgain) {
  Stream shortAnswer(prefix(40) + "The end");
  Stream longAnswer(prefix(160) + "The end");
  const auto codeCalls = longAnswer.highlighter->calls["int x = 1;"];
  EXPECT_EQ(codeCalls, 1);
  for (const char* token : {" is", " near", ",", " really"}) {
    const std::size_t small = shortAnswer.append(token);
    const std::size_t large = longAnswer.append(token);
    // The same work whatever came before: the unchanged blocks are skipped.
    EXPECT_EQ(small, large) << token;
    EXPECT_LT(large, 40u) << token;
    EXPECT_EQ(longAnswer.host->lastPassCount(), 1) << "no second pass for unchanged margins";
  }
  EXPECT_EQ(longAnswer.highlighter->calls["int x = 1;"], 1) << "the code block was not rebuilt";
}

TEST(Streaming, UnchangedBlocksKeepTheirStateAndMargins) {
  Stream s(prefix(3) + "Tail");
  s.host->update();
  auto frame = [&](std::string_view id) { return s.host->frameOf(id).value(); };
  const ui::Rect button = frame("copy-code");
  s.host->pointerPressed(ui::PointerEvent::at({button.midX(), button.midY()}));
  s.host->pointerReleased(ui::PointerEvent::at({button.midX(), button.midY()}));
  s.host->update();
  ASSERT_NE(s.host->dump().find("\"Copied\""), std::string::npos);
  const std::string before = s.host->dump();
  const auto settledHeight = s.host->rootSize().height;
  for (int i = 0; i < 20; ++i) s.append(" more");
  EXPECT_NE(s.host->dump().find("\"Copied\""), std::string::npos) << "the copy flag survived";
  // A new paragraph and a new code block after it: spacing as a fresh render gives.
  s.append("\n\nNext paragraph\n\n```\nnew code\n```\n");
  Stream fresh(s.text);
  EXPECT_EQ(s.host->rootSize(), fresh.host->rootSize());
  EXPECT_GT(s.host->rootSize().height, settledHeight);
  (void)before;
}

}  // namespace
}  // namespace markdown
