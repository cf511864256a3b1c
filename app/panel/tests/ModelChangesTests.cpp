#include "PanelTestSupport.h"
#include "panel/ModelChanges.h"

namespace panel {
namespace {

using testing::PanelTest;
using namespace std::chrono_literals;

class ModelChangesTest : public PanelTest {
 protected:
  bool drawn(std::string_view text) {
    for (const auto& run : view().host().render().itemsOf<ui::DisplayItem::TextRun>())
      if (run.text.find(text) != std::string::npos) return true;
    return false;
  }
};

TEST_F(ModelChangesTest, AShownAnswerThatGrowsChangesTheConversationAlone) {
  // Pieces far enough apart that they reach the model one by one.
  server.stream(testing::kChatPath, {{0ms, testing::deltaEvent("One")},
                                     {60ms, testing::deltaEvent(" two")},
                                     {60ms, testing::deltaEvent(" three") + "data: [DONE]\n\n"}});
  makeModel();
  ModelChanges changes(*model);
  int toAll = 0, toAllWhileGrowing = 0;
  std::vector<std::string> grown;
  foundation::ObservableObject& all = changes.all();
  auto allSubscription = all.subscribeWillChange([&] {
    ++toAll;
    // Only the piece that makes an empty answer one is everybody's.
    if (model->appendingToAnswer() && !model->responseValue->empty()) ++toAllWhileGrowing;
  });
  auto growthSubscription = changes.answerGrowth().subscribeWillChange(
      [&] { grown.push_back(model->responseValue.get()); });

  model->streamChat("Count to three");
  ASSERT_TRUE(waitFor([&] { return !model->isLoading; }));
  EXPECT_EQ(model->responseValue.get(), "One two three");
  EXPECT_GT(toAll, 0);  // the request, its open and its end
  EXPECT_EQ(toAllWhileGrowing, 0);
  ASSERT_FALSE(grown.empty());
  EXPECT_EQ(grown.back(), "One two three");

  // Every other change still reaches every view.
  const int before = toAll;
  model->command = "next";
  model->isOnTopBinding = true;
  EXPECT_EQ(toAll, before + 2);
}

// The conversation, built on its own while the answer grows, shows each piece as it comes.
TEST_F(ModelChangesTest, ThePanelFollowsAnAnswerThatGrowsPieceByPiece) {
  server.stream(testing::kChatPath, {{0ms, testing::deltaEvent("First line")},
                                     {60ms, testing::deltaEvent("\n\nsecond")},
                                     {3s, testing::deltaEvent(" and last") + "data: [DONE]\n\n"}});
  makeContent();
  type("Two lines please");
  model->selectedIndex = -1;
  model->sendPrompt();
  ASSERT_TRUE(waitFor([&] { return model->responseValue->find("second") != std::string::npos; }));
  ASSERT_TRUE(waitFor([&] { return drawn("second"); }));
  EXPECT_TRUE(model->isLoading);  // drawn as it came, not at the end
  ASSERT_TRUE(waitFor([&] { return !model->isLoading; }));
  settle();
  EXPECT_TRUE(drawn("First line"));
  EXPECT_TRUE(drawn("second and last"));
  // The toolbar followed the answer's first piece: the answer's own buttons are there.
  EXPECT_TRUE(has("panel.regenerate"));
}

}  // namespace
}  // namespace panel
