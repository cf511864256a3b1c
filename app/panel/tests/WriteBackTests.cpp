#include <gtest/gtest.h>

#include <optional>

#include "accessibility/Attributes.h"
#include "accessibility/FakeAccessibility.h"
#include "panel/WriteBack.h"

namespace panel {
namespace {

using accessibility::TextRange;
namespace attribute = accessibility::attribute;

TEST(WriteBack, ReplacesUtf16RangesOnWholeCharacters) {
  // 30 units, 5 selected at 10: 25 left plus the answer at 10.
  const std::string value = "0123456789ABCDE0123456789abcde";
  auto out = replaceUtf16Range(value, {10, 5}, "T");
  EXPECT_EQ(out.text, "0123456789T0123456789abcde");
  EXPECT_EQ(out.location, 10);
  EXPECT_EQ(out.length, 5);
  // An emoji before the selection counts two units.
  out = replaceUtf16Range("\U0001F600ab cd", {3, 2}, "XY");
  EXPECT_EQ(out.text, "\U0001F600aXYcd");
  // A range cutting the emoji in half moves back to its start.
  out = replaceUtf16Range("a\U0001F600b", {2, 1}, "-");
  EXPECT_EQ(out.text, "a-\U0001F600b");
  EXPECT_EQ(out.location, 1);
  EXPECT_EQ(out.length, 0);
  // Ranges beyond the text are clamped, negative ones start at 0.
  EXPECT_EQ(replaceUtf16Range("abc", {2, 100}, "Z").text, "abZ");
  EXPECT_EQ(replaceUtf16Range("abc", {50, 3}, "Z").text, "abcZ");
  EXPECT_EQ(replaceUtf16Range("abc", {-4, 1}, "Z").text, "Zbc");
  EXPECT_EQ(replaceUtf16Range("abc", {1, std::numeric_limits<std::int64_t>::max()}, "Z").text,
            "aZ");
}

class WriteBackTest : public ::testing::Test {
 protected:
  accessibility::FakeAccessibility ax;
  accessibility::Element element = ax.addElement(42);
};

TEST_F(WriteBackTest, ReplacesTheSelectedRangeThenPutsTheCaretBeforeTheAnswer) {
  ax.setAttribute(element, attribute::kValue, std::string("0123456789ABCDE0123456789abcde"));
  ax.setAttribute(element, attribute::kSelectedTextRange, TextRange{10, 5});
  // Whatever has the focus by now (our own panel, another field) is not asked.
  const auto elsewhere = ax.addElement(7);
  ax.setFocusedElement(elsewhere);
  EXPECT_EQ(WriteBackOutcome::written, writeAnswerBack(ax, element, "Answer"));
  const auto writes = ax.writes();
  ASSERT_EQ(writes.size(), 3u);
  for (const auto& write : writes) EXPECT_EQ(write.element, element);
  EXPECT_EQ(writes[0].attribute, attribute::kSelectedTextRange);
  EXPECT_EQ(std::get<TextRange>(writes[0].value), (TextRange{10, 5}));
  EXPECT_EQ(writes[1].attribute, attribute::kSelectedText);
  EXPECT_EQ(std::get<std::string>(writes[1].value), "Answer");
  EXPECT_EQ(writes[2].attribute, attribute::kSelectedTextRange);
  EXPECT_EQ(std::get<TextRange>(writes[2].value), (TextRange{10, 0}));
}

TEST_F(WriteBackTest, AStaleRangeIsClampedToWholeCharactersOfTheText) {
  ax.setAttribute(element, attribute::kValue, std::string("a\U0001F600bc"));
  ax.setAttribute(element, attribute::kSelectedTextRange, TextRange{2, 50});
  EXPECT_EQ(WriteBackOutcome::written, writeAnswerBack(ax, element, "Z"));
  // The range started inside the emoji: it moves to the emoji's start and ends with the text.
  EXPECT_EQ(std::get<TextRange>(ax.writes()[0].value), (TextRange{1, 4}));
  EXPECT_EQ(std::get<TextRange>(ax.writes()[2].value), (TextRange{1, 0}));
}

TEST_F(WriteBackTest, WritesNothingWithoutTextOrRange) {
  ax.setAttribute(element, attribute::kSelectedTextRange, TextRange{0, 0});
  EXPECT_EQ(WriteBackOutcome::refused, writeAnswerBack(ax, element, "x"));  // no value
  ax.setAttribute(element, attribute::kValue, 3.5);
  EXPECT_EQ(WriteBackOutcome::refused, writeAnswerBack(ax, element, "x"));  // no text
  ax.setAttribute(element, attribute::kValue, std::string("text"));
  ax.setAttributeError(element, attribute::kSelectedTextRange,
                       accessibility::kAXErrorAttributeUnsupported);
  EXPECT_EQ(WriteBackOutcome::refused, writeAnswerBack(ax, element, "x"));  // no range
  EXPECT_TRUE(ax.writes().empty());
  // An element that went away with its window.
  EXPECT_NE(WriteBackOutcome::written,
            writeAnswerBack(ax, accessibility::Element::uiElement(999, 42), "x"));
  EXPECT_TRUE(ax.writes().empty());
}

TEST_F(WriteBackTest, ARefusedWriteIsAFailureAndMovesNoCaret) {
  ax.setAttribute(element, attribute::kValue, std::string("text"));
  ax.setAttribute(element, attribute::kSelectedTextRange, TextRange{1, 2});
  ax.setWriteError(element, attribute::kSelectedText, accessibility::kAXErrorCannotComplete);
  EXPECT_EQ(WriteBackOutcome::refused, writeAnswerBack(ax, element, "x"));
  const auto writes = ax.writes();
  ASSERT_EQ(writes.size(), 1u);  // only the range was chosen again
  EXPECT_EQ(writes[0].attribute, attribute::kSelectedTextRange);
}

TEST_F(WriteBackTest, ARangeThatIsNoRangeCountsAsTheStart) {
  ax.setAttribute(element, attribute::kValue, std::string("text"));
  ax.setAttribute(element, attribute::kSelectedTextRange, std::string("garbage"));
  EXPECT_EQ(WriteBackOutcome::written, writeAnswerBack(ax, element, ">"));
  EXPECT_EQ(std::get<TextRange>(ax.writes().front().value), (TextRange{0, 0}));
  EXPECT_EQ(std::get<std::string>(ax.writes()[1].value), ">");
}

// An application's text on the bus: it takes a write of its selection as asked, only deletes
// (a half-done write), or ignores it while answering that it took it (FakeAccessibility's own
// behaviour).
class EditorAccessibility : public accessibility::FakeAccessibility {
 public:
  enum class Takes { all, deletionOnly, nothing };
  Takes takes = Takes::all;
  accessibility::Element text = addElement(42);
  // Where a paste goes.
  accessibility::Element window = addElement(42);
  // Where the application's own selection stands once it was written to, if it moves.
  std::optional<TextRange> selectionAfterWrite;

  EditorAccessibility(std::string value, TextRange selected) {
    setAttribute(text, attribute::kValue, std::move(value));
    setAttribute(text, attribute::kSelectedTextRange, selected);
    setAttribute(text, attribute::kWindow, window);
  }
  accessibility::AXError setAttributeValue(const accessibility::Element& element,
                                           std::string_view name,
                                           const accessibility::Value& value) override {
    const auto result = FakeAccessibility::setAttributeValue(element, name, value);
    if (element == text && name == attribute::kSelectedText && selectionAfterWrite)
      setAttribute(text, attribute::kSelectedTextRange, *selectionAfterWrite);
    if (result != accessibility::kAXErrorSuccess || element != text ||
        name != attribute::kSelectedText || takes == Takes::nothing)
      return result;
    const auto now = std::get<std::string>(copyAttributeValue(text, attribute::kValue).value());
    const auto range =
        std::get<TextRange>(copyAttributeValue(text, attribute::kSelectedTextRange).value());
    const auto answer = takes == Takes::all ? std::get<std::string>(value) : std::string();
    setAttribute(text, attribute::kValue, replaceUtf16Range(now, range, answer).text);
    return result;
  }
  std::vector<Write> pastes() const {
    std::vector<Write> out;
    for (const auto& write : writes())
      if (write.element == window) out.push_back(write);
    return out;
  }
};

TEST(WriteBackReadBack, ATakenAnswerIsReadBackAndTheCaretPutBeforeItWithoutAPaste) {
  EditorAccessibility ax("one two three", {4, 3});
  EXPECT_EQ(writeAnswerBack(ax, ax.text, "2"), WriteBackOutcome::written);
  EXPECT_EQ(ax.copyAttributeValue(ax.text, attribute::kValue).value(),
            accessibility::Value("one 2 three"));
  EXPECT_TRUE(ax.pastes().empty());
  EXPECT_EQ(ax.writes().back().value, accessibility::Value(TextRange{4, 0}));
}

TEST(WriteBackReadBack, AnIgnoredOrRefusedWriteFallsBackToAPasteIntoItsWindow) {
  EditorAccessibility ignoring("one two three", {4, 3});
  ignoring.takes = EditorAccessibility::Takes::nothing;
  EXPECT_EQ(writeAnswerBack(ignoring, ignoring.text, "2"), WriteBackOutcome::written);
  ASSERT_EQ(ignoring.pastes().size(), 1u);
  EXPECT_EQ(ignoring.pastes()[0].attribute, attribute::kSelectedText);
  EXPECT_EQ(ignoring.pastes()[0].value, accessibility::Value("2"));

  // Text without editing (a browser's page on the bus).
  EditorAccessibility readOnly("one two three", {4, 3});
  readOnly.setWriteError(readOnly.text, attribute::kSelectedText,
                         accessibility::kAXErrorAttributeUnsupported);
  EXPECT_EQ(writeAnswerBack(readOnly, readOnly.text, "2"), WriteBackOutcome::written);
  EXPECT_EQ(readOnly.pastes().size(), 1u);
}

// The deletion shows at once, the insertion only some reads later (some 1.8 s, past the
// time an application that shows no change at all is given).
class SlowEditorAccessibility : public EditorAccessibility {
 public:
  using EditorAccessibility::EditorAccessibility;
  int readsUntilInserted = 90;
  std::optional<std::string> inserted;

  accessibility::AXError setAttributeValue(const accessibility::Element& element,
                                           std::string_view name,
                                           const accessibility::Value& value) override {
    if (element == text && name == attribute::kSelectedText) {
      const auto now = std::get<std::string>(
          EditorAccessibility::copyAttributeValue(text, attribute::kValue).value());
      const auto range = std::get<TextRange>(
          EditorAccessibility::copyAttributeValue(text, attribute::kSelectedTextRange).value());
      inserted = replaceUtf16Range(now, range, std::get<std::string>(value)).text;
      takes = Takes::deletionOnly;
    }
    return EditorAccessibility::setAttributeValue(element, name, value);
  }
  accessibility::Result<accessibility::Value> copyAttributeValue(
      const accessibility::Element& element, std::string_view name) override {
    if (inserted && element == text && name == attribute::kValue && --readsUntilInserted == 0)
      setAttribute(text, attribute::kValue, *inserted);
    return EditorAccessibility::copyAttributeValue(element, name);
  }
};

TEST(WriteBackReadBack, AWriteThatShowsBitByBitIsWaitedForAndNotPastedOver) {
  SlowEditorAccessibility ax("one two three", {4, 3});
  EXPECT_EQ(writeAnswerBack(ax, ax.text, "2"), WriteBackOutcome::written);
  EXPECT_EQ(ax.EditorAccessibility::copyAttributeValue(ax.text, attribute::kValue).value(),
            accessibility::Value("one 2 three"));
  EXPECT_TRUE(ax.pastes().empty());
}

TEST(WriteBackReadBack, NoPasteOverAHalfDoneWriteOrASelectionThatMoved) {
  EditorAccessibility halfDone("one two three", {4, 3});
  halfDone.takes = EditorAccessibility::Takes::deletionOnly;
  EXPECT_NE(writeAnswerBack(halfDone, halfDone.text, "2"), WriteBackOutcome::written);
  EXPECT_TRUE(halfDone.pastes().empty());

  // The application moved its selection: a paste would land there.
  EditorAccessibility moved("one two three", {4, 3});
  moved.takes = EditorAccessibility::Takes::nothing;
  moved.selectionAfterWrite = TextRange{0, 3};
  EXPECT_NE(writeAnswerBack(moved, moved.text, "2"), WriteBackOutcome::written);
  EXPECT_TRUE(moved.pastes().empty());
}

TEST(WriteBackReadBack, ASelectionOverSeveralTextsIsPastedWholeAndNotChosenAgain) {
  EditorAccessibility paragraphs("second", {0, 0});
  paragraphs.setAttributeError(paragraphs.text, attribute::kSelectedTextRange,
                               accessibility::kAXErrorNoValue);
  // Ctrl+Return's check lets it through: the paste is its way in.
  EXPECT_EQ(checkAnswerTarget(paragraphs, paragraphs.text), WriteBackOutcome::written);
  EXPECT_EQ(writeAnswerBack(paragraphs, paragraphs.text, "joined"), WriteBackOutcome::written);
  const auto writes = paragraphs.writes();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].element, paragraphs.window);
  EXPECT_EQ(writes[0].value, accessibility::Value("joined"));
}

TEST_F(WriteBackTest, ATerminalOrAChangedTargetGetsNothingAndSaysWhich) {
  ax.setAttribute(element, attribute::kValue, std::string("text"));
  ax.setAttribute(element, attribute::kSelectedTextRange, TextRange{1, 2});
  EXPECT_EQ(checkAnswerTarget(ax, element), WriteBackOutcome::written);
  EXPECT_TRUE(ax.writes().empty()) << "the check writes nothing";

  ax.setAttribute(element, attribute::kRole, std::string(accessibility::role::kTerminal));
  EXPECT_EQ(checkAnswerTarget(ax, element), WriteBackOutcome::terminal);
  EXPECT_EQ(writeAnswerBack(ax, element, "x"), WriteBackOutcome::terminal);
  EXPECT_TRUE(ax.writes().empty());

  // The window shows another document now, or the element went with it.
  ax.setAttribute(element, attribute::kRole, std::string(accessibility::role::kWindow));
  ax.setAttributeError(element, attribute::kSelectedTextRange,
                       accessibility::kAXErrorInvalidUIElement);
  EXPECT_EQ(checkAnswerTarget(ax, element), WriteBackOutcome::targetChanged);
  EXPECT_EQ(writeAnswerBack(ax, element, "x"), WriteBackOutcome::targetChanged);
  ax.setAttribute(element, attribute::kSelectedTextRange, TextRange{1, 2});
  ax.setWriteError(element, attribute::kSelectedText, accessibility::kAXErrorInvalidUIElement);
  EXPECT_EQ(writeAnswerBack(ax, element, "x"), WriteBackOutcome::targetChanged);

  EXPECT_TRUE(writeBackStatus(WriteBackOutcome::written).empty());
  for (auto outcome :
       {WriteBackOutcome::targetChanged, WriteBackOutcome::refused, WriteBackOutcome::terminal})
    EXPECT_FALSE(writeBackStatus(outcome).empty());
}

}  // namespace
}  // namespace panel
