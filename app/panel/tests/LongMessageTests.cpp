#include <gtest/gtest.h>

#include "PanelTestSupport.h"
#include "appkit/FakePasteboard.h"
#include "foundation/UTF8.h"
#include "panel/LongText.h"

namespace panel::testing {
namespace {

// One character per byte that does not continue a UTF-8 sequence, counted the plain way.
std::size_t plainCount(std::string_view text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

bool isWholeUTF8(std::string_view text) {
  return text.empty() || ((static_cast<unsigned char>(text.front()) & 0xC0) != 0x80 &&
                          foundation::utf8::isValid(text));
}

TEST(LongText, ShortTextsShowWholeAndLongOnesEndAtALineOrWordNearTheLimit) {
  EXPECT_EQ(textBeginning("").shown, "");
  const std::string exact(100, 'x');
  EXPECT_EQ(textBeginning(exact, 100).shown, exact);
  EXPECT_FALSE(textBeginning(exact, 100).isCut());

  // A line break within reach of the limit ends the beginning there.
  const std::string lines = std::string(60, 'a') + "\n" + std::string(60, 'b');
  const auto atLine = textBeginning(lines, 100);
  EXPECT_EQ(atLine.shown, std::string(60, 'a'));
  EXPECT_EQ(atLine.hiddenCharacters, 61u);  // the break and the second line

  // No break: the last space, but not one far back.
  const std::string words = std::string(90, 'a') + " " + std::string(40, 'b');
  EXPECT_EQ(textBeginning(words, 100).shown, std::string(90, 'a'));
  const std::string oneWord = "a " + std::string(300, 'b');
  EXPECT_EQ(textBeginning(oneWord, 200).shown.size(), 200u);
}

TEST(LongText, NoCharacterIsCutAndEveryCharacterIsCounted) {
  // Two-, three- and four-byte characters across every cut position.
  const std::string units[] = {"\u00e9", "\u20ac", "\U0001F600", "a"};
  std::string mixed;
  for (int i = 0; i < 200; ++i) mixed += units[i % 4] + units[(i / 4) % 4];
  for (std::size_t limit = 1; limit < 64; ++limit) {
    const auto beginning = textBeginning(mixed, limit);
    ASSERT_LE(beginning.shown.size(), limit);
    ASSERT_TRUE(isWholeUTF8(beginning.shown)) << limit;
    ASSERT_TRUE(isWholeUTF8(std::string_view(mixed).substr(beginning.shown.size()))) << limit;
    ASSERT_EQ(plainCount(beginning.shown) + beginning.hiddenCharacters, plainCount(mixed)) << limit;
  }
  // Counting eight bytes at a time matches the plain count at every length and alignment.
  for (std::size_t start = 0; start < 9; ++start)
    for (std::size_t length = 0; length + start < 70; ++length) {
      const auto part = std::string_view(mixed).substr(start, length);
      ASSERT_EQ(characterCount(part), plainCount(part)) << start << " " << length;
    }
}

TEST(LongText, TheNoteSaysHowManyCharactersAreLeftOut) {
  EXPECT_EQ(moreCharactersNote(1), "\u2026 1 more character");
  EXPECT_EQ(moreCharactersNote(999), "\u2026 999 more characters");
  EXPECT_EQ(moreCharactersNote(1000), "\u2026 1,000 more characters");
  EXPECT_EQ(moreCharactersNote(10485760), "\u2026 10,485,760 more characters");
}

class LongTextView : public PanelTest {
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
};

// A megabyte of selected text, in lines, ending in a line no one should see drawn.
std::string hugeSelection() {
  std::string text;
  for (int i = 0; text.size() < 1024 * 1024; ++i)
    text += "Line " + std::to_string(i) + " of the selected report, with \u00e9t\u00e9 in it.\n";
  return text + "THE LAST LINE";
}

TEST_F(LongTextView, AHugeSelectionShowsItsBeginningWhileTheRequestAndCopyGetAllOfIt) {
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

  // The request carried the whole selection.
  const auto requests = server.requests(kChatPath);
  ASSERT_FALSE(requests.empty());
  EXPECT_NE(requests.front().body.find("THE LAST LINE"), std::string::npos);

  // The question and the answer each show their beginning and a note of the rest: what is
  // left after a beginning just short of the limit.
  const std::string& question = model->messages.get()[1].content;
  for (const auto& [position, text] : {std::pair{1, question}, std::pair{2, answer}}) {
    const auto note =
        view().host().accessibilityLabelOf("panel.moreText." + std::to_string(position));
    ASSERT_TRUE(note) << position;
    std::string digits;
    for (char c : *note)
      if (c >= '0' && c <= '9') digits += c;
    const std::size_t hidden = std::stoul(digits);
    EXPECT_GE(hidden + kShownTextLimit, plainCount(text)) << position;
    EXPECT_LE(hidden + kShownTextLimit, plainCount(text) + 2048) << position;
  }
  // Newest first: the answer's beginning on top; at the bottom the end of what the question
  // shows, its note, and the system prompt.
  EXPECT_TRUE(drawn("Point 0 of the summary."));
  const ui::Rect scroller = frame("panel.conversation");
  ASSERT_TRUE(view().host().scrolled({scroller.midX(), scroller.midY()}, 0, 1e9));
  settle();
  EXPECT_TRUE(drawn("of the selected report"));
  EXPECT_TRUE(drawn(" more characters"));
  EXPECT_TRUE(drawn("helpful"));  // the system prompt, at the bottom
  EXPECT_FALSE(drawn("THE LAST LINE"));
  EXPECT_FALSE(drawn("THE LAST POINT"));

  // Copy all takes the whole answer.
  ctrl("c", true);
  view().answerActions().waitUntilIdle();
  EXPECT_TRUE(pasteboard->string() == answer);

  // As selectable text, the answer's editor holds its beginning only.
  model->isLoading = false;
  ctrl("m");
  settle();
  auto* editor = widgetFactory->description<ui::TextEditorWidget>(
      ui::Identity::pair("answer", static_cast<std::int64_t>(2)));
  ASSERT_NE(editor, nullptr);
  EXPECT_LE(editor->text.get().size(), kShownTextLimit);
  EXPECT_EQ(editor->text.get().rfind("Point 0 of", 0), 0u);
}

TEST_F(LongTextView, AShortMessageHasNoNote) {
  makeContent();
  model->messages = {core::ChatMessage::make("user", std::string(kShownTextLimit, 'q')),
                     core::ChatMessage::make("assistant", "Fine.")};
  model->responseValue = "Fine.";
  settle();
  EXPECT_TRUE(has("panel.message.0"));
  EXPECT_FALSE(has("panel.moreText.0"));
  EXPECT_FALSE(has("panel.moreText.1"));
}

}  // namespace
}  // namespace panel::testing
