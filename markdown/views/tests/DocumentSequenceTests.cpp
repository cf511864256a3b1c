#include <map>
#include <regex>

#include "MarkdownTestSupport.h"
#include "appkit/FakePasteboard.h"
#include "markdown/CodeBlockView.h"
#include "markdown/GrowingMarkdown.h"
#include "ui/ScrollView.h"

namespace markdown {
namespace {

// Blocks of every kind, each with words of its own, `sections` times.
std::string longDocument(int sections) {
  std::string text = "# A long document\n\n";
  for (int n = 0; n < sections; ++n) {
    const std::string i = std::to_string(n);
    text += "## Section " + i + "\n\nParagraph " + i +
            " runs on for a while, with *emphasis* and `code`, so that it wraps at the width of "
            "the view.\n\n- point " +
            i + "a\n- point " + i + "b\n\n";
    if (n % 5 == 1) text += "```\ncode line " + i + "\nsecond line " + i + "\n```\n\n";
    if (n % 7 == 2) text += "> quoted " + i + "\n\n";
    if (n % 9 == 3) text += "| Name | Value |\n|---|---|\n| cell " + i + " | " + i + " |\n\n";
    if (n % 11 == 4) text += "1. first " + i + "\n2. second " + i + "\n\n---\n\n";
  }
  return text + "The last paragraph.";
}

// At the leading edge of the width, its text selectable, as an answer stands in the panel.
ui::AnyView styled(ui::AnyView view) {
  return markdownTextStyle(std::move(view), FontSize(14))
      .textSelection(ui::TextSelectability::enabled)
      .frame(ui::FrameBounds{.maxWidth = ui::kInfinity}, ui::Alignment::topLeading);
}

// Text runs by their text and place (content coordinates).
std::multimap<std::string, ui::Rect> runsOf(const ui::DisplayList& list) {
  std::multimap<std::string, ui::Rect> runs;
  for (const auto& run : list.itemsOf<ui::DisplayItem::TextRun>())
    runs.emplace(run.text, run.frame);
  return runs;
}

std::size_t madeBlocks(const ui::ViewHost& host) {
  static const std::regex made("LazyVStack .* made=([0-9]+)");
  const std::string dump = host.dump();
  std::smatch m;
  return std::regex_search(dump, m, made) ? std::stoul(m[1]) : 0;
}

// The length of the scroll view's content.
double contentHeight(const ui::ViewHost& host) {
  static const std::regex content("content=[0-9.]+x([0-9.]+)");
  const std::string dump = host.dump();
  std::smatch m;
  return std::regex_search(dump, m, content) ? std::stod(m[1]) : -1;
}

// A document in a scroll view of 400 by 300 points.
struct Scrolled {
  explicit Scrolled(ui::AnyView document)
      : host(ui::ScrollView(std::move(document)).accessibilityIdentifier("scroller"),
             std::make_shared<ui::FakeTextMeasurer>()) {
    host.setEnvironment(ui::Environment().with<PasteboardKey>(pasteboard));
    host.setProposal(ui::ProposedSize::of({400, 300}));
    host.update();
  }
  bool scroll(double dy) {
    const bool moved = host.scrolled({200, 150}, 0, dy);
    host.update();
    host.update();
    return moved;
  }
  std::shared_ptr<appkit::FakePasteboard> pasteboard = std::make_shared<appkit::FakePasteboard>();
  ui::ViewHost host;
};

TEST(DocumentSequence, ABlockIsWhereTheWholeDocumentHasItWhenItIsMadeAsItComesIntoView) {
  const std::string text = longDocument(120);
  // Outside a scroll view every block is made: the document as a whole.
  testing::Rendered whole(styled(Markdown(std::string_view(text))), 400);
  const auto everything = runsOf(whole.host.render());
  Scrolled scrolled(styled(Markdown(std::string_view(text))));
  EXPECT_LT(madeBlocks(scrolled.host), 60u);
  EXPECT_LT(scrolled.host.nodeCount(), whole.host.nodeCount() / 5);
  // Scrolled down a little at a time: whatever is drawn stands where it stands in the whole.
  std::size_t drawn = 0;
  do {
    for (const auto& [text, frame] : runsOf(scrolled.host.render())) {
      auto [first, last] = everything.equal_range(text);
      bool found = false;
      for (auto it = first; it != last && !found; ++it) found = it->second == frame;
      ASSERT_TRUE(found) << "\"" << text << "\" at " << frame.y;
      ++drawn;
    }
    ASSERT_LT(madeBlocks(scrolled.host), 60u);
  } while (scrolled.scroll(120));
  EXPECT_GT(drawn, everything.size());
  // At the end: the last block, and the scroll view's content as long as the whole document.
  EXPECT_EQ(runsOf(scrolled.host.render()).count("The last paragraph."), 1u);
  EXPECT_NEAR(contentHeight(scrolled.host), whole.host.rootSize().height, 1e-6);
}

TEST(DocumentSequence, TheLengthIsEstimatedCloselyBeforeTheBlocksAreMade) {
  const std::string text = longDocument(300);
  testing::Rendered whole(styled(Markdown(std::string_view(text))), 400);
  Scrolled scrolled(styled(Markdown(std::string_view(text))));
  const double estimated = contentHeight(scrolled.host), truth = whole.host.rootSize().height;
  EXPECT_NEAR(estimated, truth, truth * 0.15);
}

TEST(DocumentSequence, CopyButtonsAndSelectionWorkInBlocksMadeLate) {
  const std::string text = longDocument(60);
  Scrolled scrolled(styled(Markdown(std::string_view(text))));
  // Down to the code block of section 51, made only now, and to its copy button.
  auto offset = [&] {
    const std::string dump = scrolled.host.dump();
    return std::stod(dump.substr(dump.find("offset=0,") + 9));
  };
  auto buttonInView = [&]() -> std::optional<ui::Point> {
    std::optional<double> code;
    std::optional<ui::Rect> button;
    for (const auto& run : scrolled.host.render().itemsOf<ui::DisplayItem::TextRun>()) {
      if (run.text == "code line 51") code = run.frame.y;
      if (run.text == "Copy code" && code && run.frame.y < *code && run.frame.y > *code - 60)
        button = run.frame;
    }
    if (!button) return std::nullopt;
    const double y = button->midY() - offset();
    if (y < 0 || y > 300) return std::nullopt;
    return ui::Point{button->midX(), y};
  };
  std::optional<ui::Point> button;
  while (!(button = buttonInView()) && scrolled.scroll(50)) {
  }
  ASSERT_TRUE(button);
  scrolled.host.pointerPressed(ui::PointerEvent::at(*button));
  scrolled.host.pointerReleased(ui::PointerEvent::at(*button));
  scrolled.host.update();
  EXPECT_EQ(scrolled.pasteboard->string(),
            std::optional<std::string>("code line 51\nsecond line 51"));
  EXPECT_NE(scrolled.host.dump().find("\"Copied\""), std::string::npos);

  // A word of a paragraph in view, double-clicked, is the selection.
  std::optional<ui::Rect> paragraph;
  for (const auto& run : scrolled.host.render().itemsOf<ui::DisplayItem::TextRun>())
    if (run.text.starts_with("Paragraph ") && !paragraph) paragraph = run.frame;
  ASSERT_TRUE(paragraph);
  const ui::Point word{paragraph->x + 5, paragraph->midY() - offset()};
  scrolled.host.pointerPressed(ui::PointerEvent::at(word, 1));
  scrolled.host.pointerReleased(ui::PointerEvent::at(word, 1));
  scrolled.host.pointerPressed(ui::PointerEvent::at(word, 2));
  scrolled.host.pointerReleased(ui::PointerEvent::at(word, 2));
  scrolled.host.update();
  EXPECT_EQ(scrolled.host.selectedText(), std::optional<std::string>("Paragraph"));
}

// An answer streamed into a scroll view that follows its end, parsed as it grows.
struct GrowingStream {
  explicit GrowingStream(std::string start) : text(std::move(start)), scrolled(view()) {
    scrolled.scroll(1e9);
  }
  ui::AnyView view() { return styled(Markdown(growing.parse(text))); }
  // Appends and draws; returns the nodes made for it.
  std::size_t append(const std::string& token) {
    text += token;
    scrolled.host.resetStats();
    scrolled.host.setRoot(ui::ScrollView(view()).accessibilityIdentifier("scroller"));
    scrolled.host.update();
    return scrolled.host.stats().nodesCreated;
  }
  std::string text;
  GrowingMarkdown growing;
  Scrolled scrolled;
};

TEST(DocumentSequence, ATokenCostsTheSameWhateverCameBefore) {
  GrowingStream shortAnswer(longDocument(20) + "\n\nThe tail");
  GrowingStream longAnswer(longDocument(400) + "\n\nThe tail");
  for (const char* token : {" grows", " word", " by", " word,", "\n\nand", " a new", " block"}) {
    const std::size_t small = shortAnswer.append(token);
    const std::size_t large = longAnswer.append(token);
    EXPECT_EQ(small, large) << token;
    EXPECT_LT(large, 40u) << token;
  }
  EXPECT_EQ(runsOf(longAnswer.scrolled.host.render()).count("and a new block"), 1u);
}

}  // namespace
}  // namespace markdown
