#include <gtest/gtest.h>

#include <algorithm>

#include "PanelTestSupport.h"
#include "glow/Theme.h"

namespace panel::testing {
namespace {

class MarkdownAnswerView : public PanelTest {};

// The text runs drawn for `text`.
std::vector<ui::DisplayItem::TextRun> runsOf(const ui::DisplayList& list, std::string_view text) {
  std::vector<ui::DisplayItem::TextRun> found;
  for (auto& run : list.itemsOf<ui::DisplayItem::TextRun>())
    if (run.text.find(text) != std::string::npos) found.push_back(run);
  return found;
}

TEST_F(MarkdownAnswerView, FinishedAnswerIsMarkdownAtThePanelSizeWithColouredCode) {
  makeContent();
  const std::string answer =
      "Some **bold** words.\n\n| Name | Age |\n|---|---|\n| Ann | 31 |\n\n"
      "```python\nlet total = 42\n```\n";
  model->messages = {core::ChatMessage::make("user", "Hi"),
                     core::ChatMessage::make("assistant", answer)};
  model->isLoading = true;
  model->responseValue = answer;
  settle();
  // Streaming: the raw text, table pipes and fences included.
  EXPECT_FALSE(runsOf(view().host().render(), "| Name | Age |").empty());

  model->isLoading = false;
  settle();
  const auto list = view().host().render();
  EXPECT_TRUE(runsOf(list, "| Name").empty());
  auto words = runsOf(list, "words");
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.front().font.size, 16);
  EXPECT_FALSE(runsOf(list, "Ann").empty());
  // The code keeps its characters; its keyword and number take the theme's colours.
  auto keyword = runsOf(list, "let");
  auto number = runsOf(list, "42");
  ASSERT_FALSE(keyword.empty());
  ASSERT_FALSE(number.empty());
  EXPECT_NE(keyword.front().color, number.front().color);

  ctrl("=");
  words = runsOf(view().host().render(), "words");
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.front().font.size, 18);
}

}  // namespace
}  // namespace panel::testing
