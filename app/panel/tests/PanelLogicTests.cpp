#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "panel/ConversationContent.h"
#include "panel/FillInForm.h"
#include "panel/InputLine.h"
#include "panel/KeyCommands.h"
#include "panel/ListRows.h"
#include "panel/PanelSettings.h"

namespace panel {
namespace {

TEST(PanelSettings, FontSizesStayWithinTheLimits) {
  EXPECT_EQ(clampedFontSize(16), 16);
  EXPECT_EQ(clampedFontSize(0), 12);
  EXPECT_EQ(clampedFontSize(-5), 12);
  EXPECT_EQ(clampedFontSize(1000), 40);
  EXPECT_EQ(clampedFontSize(std::nan("")), 16);
  EXPECT_EQ(clampedFontSize(std::numeric_limits<double>::infinity()), 16);
  // An odd stored size never steps past a limit.
  EXPECT_EQ(fontSizeUp(39), 40);
  EXPECT_EQ(fontSizeDown(13), 12);
  EXPECT_EQ(fontSizeUp(40), 40);
  EXPECT_EQ(fontSizeDown(12), 12);
  EXPECT_EQ(fontSizeUp(16), 18);
  EXPECT_EQ(fontSizeDown(16), 14);
}

TEST(InputLine, PlaceholderSaysWhetherContextWasFound) {
  EXPECT_EQ(inputLinePlaceholder("Context found press esc to remove context"),
            "Search for prompts preset or ask AI...");
  for (const char* status : {"", "Context removed", "No selection", "No focus found"})
    EXPECT_EQ(inputLinePlaceholder(status), "Ask AI...") << status;
  EXPECT_TRUE(inputLineNeedsText("ab", "abc"));
  EXPECT_FALSE(inputLineNeedsText("abc", "abc"));
}

TEST(FillInForm, FocusGoesThroughTheFieldsInTextOrderAndSendsFromTheLast) {
  const auto pieces = core::splitPromptText("Write [a] about [b] and [c].");
  const auto ids = fillInFieldIds(pieces);
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_LT(ids[0], ids[1]);
  EXPECT_EQ(firstFillInField(pieces), ids[0]);
  EXPECT_EQ(fillInFieldAfter(pieces, ids[0]), ids[1]);
  EXPECT_EQ(fillInFieldAfter(pieces, ids[1]), ids[2]);
  EXPECT_EQ(fillInFieldAfter(pieces, ids[2]), std::nullopt);
  // An id that names no field sends rather than running off the end.
  EXPECT_EQ(fillInFieldAfter(pieces, 999), std::nullopt);
  EXPECT_EQ(firstFillInField(core::splitPromptText("No parts")), std::nullopt);
}

TEST(FillInForm, HeaderShowsThePartsToFillInWhiteOnBlue) {
  const ui::Text header = fillInHeader(core::splitPromptText("Write [a] about [b]."));
  EXPECT_EQ(header.plainText(), "Write [a] about [b].");
  const auto runs = header.runs();
  ASSERT_EQ(runs.size(), 5u);
  const char* expected[] = {"Write ", "[a]", " about ", "[b]", "."};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(header.plainText().substr(runs[i].begin, runs[i].end - runs[i].begin), expected[i]);
    const bool part = i % 2 == 1;
    EXPECT_EQ(runs[i].attributes.font.has_value(), part);
    if (!part) continue;
    EXPECT_EQ(*runs[i].attributes.font, ui::Font::title());
    EXPECT_EQ(*runs[i].attributes.foregroundColor, ui::Color::white());
    EXPECT_EQ(runs[i].attributes.backgroundColor->resolve(ui::ColorScheme::dark).packed(),
              0x339AFFFFu);
  }
}

TEST(Conversation, ContentFollowsItsPrecedence) {
  struct Case {
    ConversationInputs in;
    ConversationContent expected;
  };
  const Case cases[] = {
      {{true, true, true, true, true, false}, ConversationContent::fillInForm},
      {{false, true, true, true, true, true}, ConversationContent::history},
      {{false, false, true, false, true, true}, ConversationContent::messages},
      {{false, false, false, true, false, false}, ConversationContent::messages},
      {{false, false, false, false, true, true}, ConversationContent::presetsOnly},
      {{false, false, false, false, true, false}, ConversationContent::hintAndPresets},
      {{false, false, false, false, false, true}, ConversationContent::hintAndPresets},
  };
  for (const auto& c : cases)
    EXPECT_EQ(chooseConversationContent(c.in), c.expected) << static_cast<int>(c.expected);
}

TEST(Conversation, RowsAndAnswersByRoleAndState) {
  EXPECT_EQ(messageRowKind("assistant"), MessageRowKind::left);
  EXPECT_EQ(messageRowKind("user"), MessageRowKind::right);
  EXPECT_EQ(messageRowKind("system"), MessageRowKind::centre);
  EXPECT_EQ(messageRowKind("tool"), MessageRowKind::empty);
  EXPECT_EQ(answerMode(true, true), AnswerMode::plain);
  EXPECT_EQ(answerMode(true, false), AnswerMode::plain);
  EXPECT_EQ(answerMode(false, true), AnswerMode::markdown);
  EXPECT_EQ(answerMode(false, false), AnswerMode::selectableText);
}

TEST(ListRows, MarksSelectedBeforeHovered) {
  struct Case {
    int row, selected, hovered;
    double expected;
  };
  const Case cases[] = {
      {-1, -1, -1, 0.7}, {-1, 2, -1, 0.3}, {-1, 2, 3, 0},   {2, 2, 2, 0.7},
      {3, 2, 3, 0.3},    {4, 2, 3, 0},     {0, 0, -1, 0.7},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rowOpacity(c.row, c.selected, c.hovered), c.expected)
        << c.row << " " << c.selected << " " << c.hovered;
}

TEST(ListRows, TopicsSplitAfterTheirFirstCharacterNeverInsideAnEmoji) {
  using Split = std::pair<std::string, std::string>;
  EXPECT_EQ(splitFirstCharacter("\U0001F9D1\u200D\U0001F4BB Code help"),
            Split("\U0001F9D1\u200D\U0001F4BB", " Code help"));
  EXPECT_EQ(splitFirstCharacter("\U0001F1E9\U0001F1EA Flag"),
            Split("\U0001F1E9\U0001F1EA", " Flag"));
  EXPECT_EQ(splitFirstCharacter("\U0001F44D\U0001F3FD ok"), Split("\U0001F44D\U0001F3FD", " ok"));
  EXPECT_EQ(splitFirstCharacter("X"), Split("X", ""));
  EXPECT_EQ(splitFirstCharacter(""), Split("", ""));
}

TEST(KeyCommands, KeysMapToCommandsWithCtrlForCommand) {
  auto chord = [](std::string text, bool shift = false) {
    return panelCommandForKey(
        ui::KeyEvent{ui::Key::character, text, {.shift = shift, .control = true}, false});
  };
  const ui::Modifiers ctrl{.control = true};
  EXPECT_EQ(panelCommandForKey(ui::KeyEvent::of(ui::Key::enter, ctrl)), PanelCommand::accept);
  EXPECT_EQ(panelCommandForKey(ui::KeyEvent::of(ui::Key::escape)), PanelCommand::escape);
  EXPECT_EQ(chord("r"), PanelCommand::regenerate);
  EXPECT_EQ(chord("+"), PanelCommand::fontSizeUp);
  EXPECT_EQ(chord("+", true), PanelCommand::fontSizeUp);
  EXPECT_EQ(chord("="), PanelCommand::fontSizeUp);
  EXPECT_EQ(chord("=", true), PanelCommand::fontSizeUp);
  EXPECT_EQ(chord("-"), PanelCommand::fontSizeDown);
  EXPECT_EQ(chord("0"), PanelCommand::fontSizeReset);
  EXPECT_EQ(chord("h"), PanelCommand::toggleHistory);
  EXPECT_EQ(chord("m"), PanelCommand::toggleMarkdown);
  EXPECT_EQ(chord("c", true), PanelCommand::copyAnswer);
  EXPECT_EQ(chord("C", true), PanelCommand::copyAnswer);
  EXPECT_EQ(chord("t"), PanelCommand::toggleOnTop);
  // Plain keys and the text widgets' own shortcuts stay theirs.
  EXPECT_EQ(chord("c"), std::nullopt);
  EXPECT_EQ(chord("a"), std::nullopt);
  EXPECT_EQ(panelCommandForKey(ui::KeyEvent::typing("r")), std::nullopt);
  EXPECT_EQ(panelCommandForKey(ui::KeyEvent::of(ui::Key::enter)), std::nullopt);
  EXPECT_EQ(panelCommandForKey(ui::KeyEvent::of(ui::Key::escape, ctrl)), std::nullopt);
  EXPECT_EQ(panelCommandForKey(ui::KeyEvent::of(ui::Key::enter, {.shift = true, .control = true})),
            std::nullopt);
}

}  // namespace
}  // namespace panel
