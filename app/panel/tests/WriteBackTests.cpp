#include <gtest/gtest.h>

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
