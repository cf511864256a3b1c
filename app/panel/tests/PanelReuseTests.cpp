#include <gtest/gtest.h>

#include "PanelTestSupport.h"
#include "core/ChatCompletionsService.h"

namespace panel::testing {
namespace {

// Paragraphs and lists, `sections` times.
std::string answerOf(int sections) {
  std::string text;
  for (int i = 0; i < sections; ++i)
    text += "## Part " + std::to_string(i) +
            "\n\nA paragraph with **strong** words.\n\n- one\n- two\n\n";
  return text;
}

class PanelReuse : public PanelTest {
 protected:
  // Streams a long answer after an earlier one, as the model does, and settles; the stream has
  // not ended yet. Returns the answer.
  std::string streamAnAnswer() {
    const std::string answer = answerOf(150);
    EXPECT_GT(answer.size(), 8000u);
    model->messages = {core::ChatMessage::make("user", "First"),
                       core::ChatMessage::make("assistant", answerOf(10)),
                       core::ChatMessage::make("user", "Second"),
                       core::ChatMessage::make("assistant", "")};
    model->isLoading = true;
    settle();
    for (std::size_t at = 0; at < answer.size(); at += 64) {
      model->messages.modify([&](auto& list) { list.back().content += answer.substr(at, 64); });
      view().update();
    }
    model->responseValue = answer;
    settle();
    EXPECT_TRUE(has("panel.plainAnswer"));
    settleFully();
    view().host().resetStats();
    return answer;
  }

  // The nodes built and measured again for one key typed beside a conversation of `exchanges`
  // questions and answers.
  std::pair<std::size_t, std::size_t> costOfAKeyBeside(int exchanges, const std::string& answer) {
    std::vector<core::ChatMessage> messages;
    for (int i = 0; i < exchanges; ++i) {
      messages.push_back(core::ChatMessage::make("user", "Explain " + std::to_string(i)));
      messages.push_back(core::ChatMessage::make("assistant", answer));
    }
    model->messages = messages;
    model->responseValue = answer;
    settle();
    type("a");
    // What the earlier steps set off (the focus request's end, say) must not count as the key's.
    settleFully();
    view().host().resetStats();
    type("b");
    settleFully();
    const auto stats = view().host().stats();
    return {stats.nodesUpdated, stats.nodesMeasured};
  }
};

TEST_F(PanelReuse, AKeyTypedBesideAConversationCostsTheSameHoweverLongItIs) {
  makeContent();
  const auto small = costOfAKeyBeside(1, answerOf(2));
  const auto large = costOfAKeyBeside(4, answerOf(60));
  EXPECT_GT(small.first, 0u);
  EXPECT_EQ(large, small);
  EXPECT_TRUE(has("panel.message.7"));
}

TEST_F(PanelReuse, TheToolbarKeptThroughKeysStillFollowsTheModel) {
  makeContent();
  costOfAKeyBeside(1, answerOf(2));
  // "On top" checked: its box filled with the accent colour.
  auto checked = [&] {
    for (const auto& fill : view().host().render().itemsOf<ui::DisplayItem::FillPath>())
      if (fill.color.packed() == 0x0A84FFFFu) return true;
    return false;
  };
  EXPECT_FALSE(checked());
  model->isOnTopBinding = true;
  settle();
  EXPECT_TRUE(checked());
  type("c");
  settle();
  EXPECT_TRUE(checked());
  model->isLoading = true;
  settle();
  EXPECT_NE(view().host().dump().find("\"Cancel\""), std::string::npos);
  model->isLoading = false;
  model->writeBackStatus = "Window changed";
  settle();
  EXPECT_TRUE(has("panel.writeBackStatus"));
  EXPECT_FALSE(has("panel.select"));
}

TEST_F(PanelReuse, AnAnswerIsBuiltAgainWhenWhatItShowsChanges) {
  makeContent();
  const std::string answer = answerOf(3);
  costOfAKeyBeside(1, answer);
  const ui::Identity editor = ui::Identity::pair("answer", std::int64_t(1));
  const double before = frame("panel.message.1").height;
  // A larger font, plain text, the answer streaming again: each shows at once.
  ASSERT_TRUE(ctrl("=", true));
  settle();
  EXPECT_GT(frame("panel.message.1").height, before);
  ASSERT_TRUE(ctrl("m"));
  settle();
  auto* shown = widgetFactory->description<ui::TextEditorWidget>(editor);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->text.get(), answer);
  model->isLoading = true;
  settle();
  EXPECT_TRUE(has("panel.plainAnswer"));
  EXPECT_EQ(widgetFactory->find(editor), nullptr);
  model->isLoading = false;
  ASSERT_TRUE(ctrl("m"));
  ASSERT_TRUE(ctrl("0"));
  settle();
  EXPECT_FALSE(has("panel.plainAnswer"));
  EXPECT_EQ(widgetFactory->find(editor), nullptr);
  EXPECT_EQ(frame("panel.message.1").height, before);
}

TEST_F(PanelReuse, AStreamEndsByBuildingOnlyTheLastPartOfItsAnswer) {
  makeContent();
  const std::string answer = streamAnAnswer();
  model->isLoading = false;
  settleFully();
  EXPECT_FALSE(has("panel.plainAnswer"));
  const std::size_t nodes = view().host().nodeCount();
  EXPECT_LT(view().host().stats().nodesCreated, nodes / 4) << nodes << " nodes";
  // As a panel that never saw the stream draws it. (The blocks out of view are only estimated,
  // by what each panel measured.)
  FloatingViewController fresh(model, options());
  fresh.setSize({612, 500});
  settle();
  fresh.update();
  auto runs = [](ui::ViewHost& host) {
    std::vector<std::pair<std::string, ui::Rect>> texts;
    for (const auto& run : host.render().itemsOf<ui::DisplayItem::TextRun>())
      texts.emplace_back(run.text, run.frame);
    return texts;
  };
  EXPECT_EQ(runs(view().host()), runs(fresh.host()));
  EXPECT_GT(runs(fresh.host()).size(), 10u);
}

// The bytes of text laid out.
class CountingMeasurer final : public ui::TextMeasurer {
 public:
  ui::TextLayout layout(const ui::Text& text, const ui::TextLayoutDefaults& defaults,
                        std::optional<double> width) const override {
    bytes += text.plainText().size();
    return measurer_.layout(text, defaults, width);
  }
  mutable std::size_t bytes = 0;

 private:
  ui::FakeTextMeasurer measurer_;
};

TEST_F(PanelReuse, AnAnswerThatComesAtOnceIsLaidOutOnlyWhereItShows) {
  auto measurer = std::make_shared<CountingMeasurer>();
  auto o = options();
  o.measurer = measurer;
  makeContent(o);
  model->messages = {core::ChatMessage::make("user", "Everything"),
                     core::ChatMessage::make("assistant", "")};
  model->isLoading = true;
  settleFully();
  // A service far faster than the frames: the first frame of the answer has 200 KiB of it,
  // plain text in front, its Markdown prepared behind, in rows of up to 4 KiB and blocks.
  std::string answer;
  while (answer.size() < 200 * 1024) answer += answerOf(1) + "A line of plain words.\n\n";
  measurer->bytes = 0;
  model->messages.modify([&](auto& list) { list.back().content = answer; });
  settleFully();
  ASSERT_TRUE(has("panel.plainAnswer"));
  // A screenful or two, at the widths the stacks around ask about, not two dozen rows.
  EXPECT_LT(measurer->bytes, 12u * 1024u);

  // Nor when it comes after a short start whose end showed: the rows that come by the hundred
  // are not all made where that end was.
  std::string start;
  for (int line = 0; line < 33; ++line) start += "Line " + std::to_string(line) + "\n";
  model->messages.modify([&](auto& list) { list.back().content = start; });
  settleFully();
  measurer->bytes = 0;
  model->messages.modify([&](auto& list) { list.back().content = start + answer; });
  settleFully();
  EXPECT_LT(measurer->bytes, 12u * 1024u);
}

TEST_F(PanelReuse, AStreamThatEndsSayingItWasCutShortBuildsNoMoreOfItsAnswer) {
  makeContent();
  streamAnAnswer();
  // The line that says so comes above the conversation: the conversation stays what it was.
  model->error = std::string(core::kAnswerMayBeIncompleteText);
  model->isLoading = false;
  settleFully();
  ASSERT_TRUE(has("panel.error"));
  EXPECT_FALSE(has("panel.plainAnswer"));
  const std::size_t nodes = view().host().nodeCount();
  EXPECT_LT(view().host().stats().nodesCreated, nodes / 4) << nodes << " nodes";
  // Nor when it goes again, as the next question is sent.
  view().host().resetStats();
  model->error = "";
  settleFully();
  EXPECT_FALSE(has("panel.error"));
  EXPECT_LT(view().host().stats().nodesCreated, nodes / 4) << nodes << " nodes";
}

}  // namespace
}  // namespace panel::testing
