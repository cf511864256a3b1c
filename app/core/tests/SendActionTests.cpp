#include "ChatModelFixture.h"

namespace core {
namespace {

using testing::ChatModelTest;
using testing::conversation;
using testing::sentTurns;
using testing::turnsOf;
using Turns = std::vector<std::pair<std::string, std::string>>;

class SendActionTest : public ChatModelTest {
 protected:
  void SetUp() override { makeScriptedModel(); }
  // What the last request sent.
  Turns sent() { return sentTurns(*transport.last().request().httpBody); }
  std::string send() {
    // A preset change's write prints from the files' thread; its line is not the send's.
    (void)model->documents().waitForWrites();
    ::testing::internal::CaptureStdout();
    model->sendPrompt();
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(SendActionTest, TheTypedCommandIsAPresetOfItsOwnAlsoForIndicesThatNameNone) {
  model->command = "typed text";
  for (const int index : {-1, 5, 99, -7}) {
    const PromptData typed = model->selectedPromptData(index);
    EXPECT_EQ(typed, (PromptData{std::nullopt, "", "typed", "typed text",
                                 "Your are helpful assistant", std::nullopt, std::nullopt}))
        << index;
  }
  EXPECT_EQ(model->selectedPromptData(2), samplePresets()[2]);
}

TEST_F(SendActionTest, WhileLoadingOnlyTheErrorIsCleared) {
  model->isLoading = true;
  model->error = "old";
  model->command = "x";
  model->sendPrompt();
  EXPECT_EQ(model->error.get(), "");
  EXPECT_TRUE(model->messages->empty());
  EXPECT_TRUE(transport.sessions.empty());
}

TEST_F(SendActionTest, ReturnOnASavedChatReopensItWithoutARequest) {
  model->oldMessages = std::vector<oldMessagesStruct>{{"zero", conversation({{"user", "0"}}), 1},
                                                      {"one", conversation({{"user", "1"}}), 2}};
  model->openHistory = true;
  for (const int outside : {-1, 2}) {
    model->keyHistorySelected = outside;
    model->sendPrompt();
    EXPECT_TRUE(model->openHistory);
    EXPECT_TRUE(model->messages->empty());
  }
  model->keyHistorySelected = 1;
  model->sendPrompt();
  EXPECT_EQ(turnsOf(model->messages), turnsOf(model->oldMessages.get()[1].message()));
  EXPECT_FALSE(model->openHistory);
  EXPECT_TRUE(model->browseHistory);
  EXPECT_EQ(model->responseValue.get(), "openChat");
  EXPECT_EQ(model->chatWithHistory, 1);
  EXPECT_TRUE(transport.sessions.empty());
}

TEST_F(SendActionTest, ABracketedPresetIsFilledInAndThenSent) {
  model->selectedIndex = 0;  // "Write to [recipient] about [subject]."
  EXPECT_EQ(send(), "");
  EXPECT_TRUE(model->nonContextPrompt);
  EXPECT_TRUE(transport.sessions.empty());
  ASSERT_EQ(model->extractedTexts->size(), 5u);
  model->extractedTexts.modify([](std::vector<ExtractedText>& pieces) {
    pieces[1].text = "Ana";
    pieces[3].text = "lunch";
  });

  model->sendPrompt();
  EXPECT_FALSE(model->nonContextPrompt);
  EXPECT_EQ(sent(), (Turns{{"system", "You are a helpful assistant"},
                           {"user", "Write to Ana about lunch."}}));

  // A prompt with only a closing bracket enters the mode as well.
  model->isLoading = false;
  model->PromptM.get()->prompts.modify([](std::vector<PromptData>& presets) {
    presets.push_back(
        {std::nullopt, "", "closing", "only ] here", "Fill.", "nonContext", std::nullopt});
  });
  model->selectedIndex = 5;
  model->sendPrompt();
  EXPECT_TRUE(model->nonContextPrompt);
  // The list was refreshed meanwhile: the mode still sends, with the plain system prompt.
  model->selectedIndex = -1;
  model->sendPrompt();
  EXPECT_EQ(sent().front(),
            (std::pair<std::string, std::string>{"system", "You are a helpful assistant"}));
  EXPECT_EQ(sent().back().second, "only ] here");
}

TEST_F(SendActionTest, WithoutContextATypedCommandStartsOrContinuesTheConversation) {
  model->selectedIndex = -1;
  model->command = "Hi there";
  model->messages = conversation({{"system", "old"}, {"user", "old"}});  // two: starts afresh
  EXPECT_EQ(send(), "prompt Hi there\n");
  EXPECT_EQ(sent(), (Turns{{"system", "Your are helpful assistant"}, {"user", "Hi there"}}));

  model->isLoading = false;
  model->messages = conversation({{"system", "s"}, {"user", "q"}, {"assistant", "a"}});
  model->command = "And then?";
  model->selectedIndex = 3;  // ignored while the conversation goes on
  model->sendPrompt();
  EXPECT_EQ(sent(),
            (Turns{{"system", "s"}, {"user", "q"}, {"assistant", "a"}, {"user", "And then?"}}));

  // A preset without a system prompt of its own, for a new conversation.
  model->isLoading = false;
  model->messages = std::vector<ChatMessage>{};
  model->selectedIndex = 3;
  EXPECT_EQ(send(), "prompt Ideas for translate\n");
  EXPECT_EQ(sent(),
            (Turns{{"system", "You are a helpful assistant"}, {"user", "Ideas for translate"}}));
}

TEST_F(SendActionTest, WithContextTheSelectionGoesIntoTheFirstQuestionOnly) {
  model->isContext = true;
  model->selectedValue = "Bonjour";
  model->selectedIndex = -1;
  model->command = "Translate";
  EXPECT_EQ(send(), "Translate\n");
  EXPECT_EQ(sent(), (Turns{{"system", "Your are helpful assistant"},
                           {"user", "Translate : ###\n Bonjour ###"}}));

  // The conversation goes on: the command alone.
  model->isLoading = false;
  model->command = "Shorter";
  model->sendPrompt();
  EXPECT_EQ(sent().back(), (std::pair<std::string, std::string>{"user", "Shorter"}));
  EXPECT_EQ(sent().size(), 3u);  // the first question had no answer here

  // A preset with two placeholders and no system prompt of its own.
  model->isLoading = false;
  model->messages = std::vector<ChatMessage>{};
  model->PromptM.get()->prompts.modify([](std::vector<PromptData>& presets) {
    presets.push_back({std::nullopt, "", "twice", "A {selected text} B {selected text}",
                       std::nullopt, "context", std::nullopt});
  });
  model->selectedIndex = 5;
  EXPECT_EQ(send(), "A {selected text} B {selected text}\n");
  EXPECT_EQ(sent(),
            (Turns{{"system", "You are a helpful assistant."}, {"user", "A Bonjour B Bonjour"}}));

  model->isLoading = false;
  model->messages = std::vector<ChatMessage>{};
  model->selectedIndex = 2;
  model->sendPrompt();
  EXPECT_EQ(sent(), (Turns{{"system", "Be brief."}, {"user", "Summarize: Bonjour"}}));
}

TEST_F(SendActionTest, AnEmptyPresetListFallsBackToTheTypedCommand) {
  model->PromptM.get()->prompts = std::vector<PromptData>{};
  model->selectedIndex = 0;  // the start value, naming nothing now
  model->command = "[draft] this";
  model->sendPrompt();
  EXPECT_FALSE(model->nonContextPrompt);
  EXPECT_EQ(sent(), (Turns{{"system", "Your are helpful assistant"}, {"user", "[draft] this"}}));

  model->isLoading = false;
  model->nonContextPrompt = true;
  model->extractedTexts = splitPromptText("x [y]");
  model->sendPrompt();
  EXPECT_EQ(sent(), (Turns{{"system", "You are a helpful assistant"}, {"user", "x [y]"}}));
}

}  // namespace
}  // namespace core
