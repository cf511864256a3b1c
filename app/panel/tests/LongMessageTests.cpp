#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "PanelTestSupport.h"
#include "appkit/FakePasteboard.h"
#include "panel/TextRows.h"
#include "ui/SystemEnvironment.h"

namespace panel::testing {
namespace {

// The texts of the rows of `text`.
std::vector<std::string> rowsOf(const TextRows::Cut& cut) {
  std::vector<std::string> rows;
  for (std::size_t i = 0; i < cut.rows.size(); ++i) rows.emplace_back(cut.row(i));
  return rows;
}

std::string joined(const std::vector<std::string>& rows) {
  std::string text;
  for (std::size_t i = 0; i < rows.size(); ++i) text += (i ? "\n" : "") + rows[i];
  return text;
}

TEST(TextRows, RowsEndBetweenLinesWithTextAndTogetherAreTheText) {
  TextRows rows;
  EXPECT_EQ(rowsOf(*rows.cut(std::make_shared<const std::string>("one line"))),
            std::vector<std::string>{"one line"});
  // 100 lines, an empty one every seventh: rows of 32 lines or a little more, never at an
  // empty line.
  std::string text;
  for (int i = 0; i < 100; ++i)
    text += (i % 7 == 6 ? std::string() : "line " + std::to_string(i)) + "\n";
  const auto cut = rows.cut(std::make_shared<const std::string>(text));
  const auto parts = rowsOf(*cut);
  ASSERT_GT(parts.size(), 2u);
  EXPECT_EQ(joined(parts), text);
  for (const auto& part : parts) {
    EXPECT_FALSE(part.starts_with("\n")) << part;
    EXPECT_FALSE(part.empty());
  }
  // A long line without breaks stays whole; long lines fill a row by their bytes.
  const std::string wide(20000, 'w');
  EXPECT_EQ(rows.cut(std::make_shared<const std::string>(wide))->rows.size(), 1u);
  const std::string longLines = wide + "\n" + wide + "\n" + wide;
  EXPECT_EQ(rowsOf(*rows.cut(std::make_shared<const std::string>(longLines))).size(), 3u);
}

TEST(TextRows, AGrowingTextKeepsItsRowsAndAnotherTextStartsAgain) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + "\n";
  TextRows rows;
  TextRows::Cut last;
  // Streamed in pieces of 7 bytes: each cut is the cut of the whole text, in one generation.
  for (std::size_t end = 7; end < text.size(); end += 7 * 37) {
    const auto cut = rows.cut(std::make_shared<const std::string>(text.substr(0, end)));
    TextRows fresh;
    const auto whole = fresh.cut(std::make_shared<const std::string>(text.substr(0, end)));
    ASSERT_EQ(rowsOf(*cut), rowsOf(*whole)) << end;
    if (!last.rows.empty()) {
      EXPECT_EQ(cut->generation, last.generation);
    }
    last = *cut;
  }
  // A text that does not extend the last one is a new generation.
  const auto other = rows.cut(std::make_shared<const std::string>("other\n" + text));
  EXPECT_NE(other->generation, last.generation);
  EXPECT_EQ(joined(rowsOf(*other)), "other\n" + text);
}

class LongMessages : public PanelTest {
 protected:
  std::vector<std::string> drawnTexts() {
    std::vector<std::string> texts;
    for (const auto& run : view().host().render().itemsOf<ui::DisplayItem::TextRun>())
      texts.push_back(run.text);
    return texts;
  }
  bool drawn(std::string_view text) {
    for (const auto& t : drawnTexts())
      if (t.find(text) != std::string::npos) return true;
    return false;
  }
  ui::Point middle() {
    const ui::Rect scroller = frame("panel.conversation");
    return {scroller.midX(), scroller.midY()};
  }
  bool scroll(double dy) {
    const bool moved = view().host().scrolled(middle(), 0, dy);
    settle(std::chrono::milliseconds(1));
    return moved;
  }
  // The rows of every lazy stack made now, and the nodes in the tree.
  std::size_t madeRows() {
    std::size_t made = 0;
    const std::string dump = view().host().dump();
    static const std::regex kMade("LazyVStack .* made=([0-9]+)");
    for (auto it = std::sregex_iterator(dump.begin(), dump.end(), kMade);
         it != std::sregex_iterator(); ++it)
      made += std::stoul((*it)[1]);
    return made;
  }
  // The conversation's content height, as its scroll view has it.
  double contentHeight() {
    const std::string dump = view().host().dump();
    static const std::regex kContent("ScrollView .* content=[0-9.]+x([0-9.]+)");
    double tallest = 0;
    for (auto it = std::sregex_iterator(dump.begin(), dump.end(), kContent);
         it != std::sregex_iterator(); ++it)
      tallest = std::max(tallest, std::stod((*it)[1]));
    return tallest;
  }
};

// A megabyte of selected text, in lines, ending in a line to look for.
std::string hugeSelection() {
  std::string text;
  for (int i = 0; text.size() < 1024 * 1024; ++i)
    text += "Line " + std::to_string(i) + " of the selected report, with \u00e9t\u00e9 in it.\n";
  return text + "THE LAST LINE";
}

TEST_F(LongMessages, AHugeQuestionAndAnswerShowWholeAndOnlyWhatIsNearTheViewIsMade) {
  std::string answer;
  for (int i = 0; answer.size() < 200 * 1024; ++i)
    answer += "Point " + std::to_string(i) + " of the summary.\n\n";
  answer += "THE LAST POINT";
  serveAnswer({answer});
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  auto o = options();
  o.answerServices.pasteboard = pasteboard;
  makeContent(o);
  const std::string selection = hugeSelection();
  model->selectedValue = selection;
  model->isContext = true;
  type("Summarise");
  model->selectedIndex = -1;
  model->sendPrompt();
  ASSERT_TRUE(waitFor([&] { return !model->isLoading; }));
  settle();

  // The request carried the whole selection, and nothing is left out of what shows.
  const auto requests = server.requests(kChatPath);
  ASSERT_FALSE(requests.empty());
  EXPECT_NE(requests.front().body.find("THE LAST LINE"), std::string::npos);
  EXPECT_FALSE(drawn("more character"));
  EXPECT_TRUE(drawn("Point 0 of the summary."));
  // A screenful of rows, not the thousands of the answer and the question.
  EXPECT_LT(madeRows(), 120u);
  EXPECT_LT(view().host().nodeCount(), 3000u);

  // Scrolled through, every point of the answer and every line of the question shows, each
  // in its place, and the end of the list is the end of the question and the system prompt.
  std::set<int> points, lines;
  static const std::regex kPoint("Point ([0-9]+) of"), kLine("Line ([0-9]+) of");
  const double height = frame("panel.conversation").height;
  auto look = [&] {
    for (const auto& text : drawnTexts()) {
      std::smatch m;
      if (std::regex_search(text, m, kPoint)) points.insert(std::stoi(m[1]));
      if (std::regex_search(text, m, kLine)) lines.insert(std::stoi(m[1]));
    }
  };
  look();
  for (int step = 0; step < 100000 && scroll(height * 0.9); ++step) {
    look();
    ASSERT_LT(madeRows(), 120u) << step;
  }
  EXPECT_TRUE(drawn("THE LAST LINE"));
  EXPECT_TRUE(drawn("helpful"));
  ASSERT_FALSE(points.empty());
  EXPECT_EQ(points.size(), std::size_t(*points.rbegin() + 1));

  EXPECT_EQ(lines.size(), std::size_t(*lines.rbegin() + 1));
  EXPECT_GT(lines.size(), 15000u);

  // Copy all takes the whole answer.
  ctrl("c", true);
  view().answerActions().waitUntilIdle();
  EXPECT_TRUE(pasteboard->string() == answer);

  // As selectable text, the answer's editor holds all of it and scrolls itself.
  ctrl("m");
  settle();
  auto* editor = widgetFactory->description<ui::TextEditorWidget>(
      ui::Identity::pair("answer", static_cast<std::int64_t>(2)));
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->text.get() == answer);
  EXPECT_FALSE(editor->growsWithContent);
}

TEST_F(LongMessages, NewChatLetsTheWindowReleaseWhatTheConversationLeft) {
  makeContent();
  int released = 0;
  view().host().setEnvironment(ui::Environment().with<ui::ReleaseCachesKey>(
      std::make_shared<const std::function<void()>>([&released] { ++released; })));
  std::string answer;
  for (int i = 0; answer.size() < 50 * 1024; ++i)
    answer += "Paragraph " + std::to_string(i) + " of a long answer.\n\n";
  model->messages = {core::ChatMessage::make("user", "Tell me"),
                     core::ChatMessage::make("assistant", answer)};
  model->responseValue = answer;
  settle();
  ASSERT_TRUE(has("panel.message.1"));
  EXPECT_EQ(released, 0);
  // Typing and scrolling keep the conversation: nothing is released.
  scroll(2000);
  EXPECT_EQ(released, 0);
  press(ui::Key::escape);
  settleFully();
  ASSERT_FALSE(has("panel.message.1"));
  EXPECT_EQ(released, 1);
}

}  // namespace
}  // namespace panel::testing
