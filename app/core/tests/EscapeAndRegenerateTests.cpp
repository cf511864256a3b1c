#include <nlohmann/json.hpp>

#include "ChatModelFixture.h"
#include "FakeFloatingViewPanel.h"
#include "foundation/Date.h"

namespace core {
namespace {

using testing::ChatModelTest;
using testing::conversation;
using testing::deltaEvent;
using testing::sentTurns;
using testing::turnsOf;
using Turns = std::vector<std::pair<std::string, std::string>>;

using EscapeTest = ChatModelTest;
using RegenerateTest = ChatModelTest;

const Turns kTwoTurns = {
    {"system", "s"}, {"user", "q1"}, {"assistant", "a1"}, {"user", "q2"}, {"assistant", "a2"}};

TEST_F(EscapeTest, FirstLeavesFillInModeThenCancelsTheStreamKeepingThePartialAnswer) {
  makeScriptedModel();
  model->streamChat("Tell me");
  auto& session = transport.last();
  session.respond(200);
  session.send(deltaEvent("Part"));
  ASSERT_TRUE(waitFor([&] { return model->responseValue.get() == "Part"; }));
  model->nonContextPrompt = true;
  model->filteredData = std::vector<int>{4};

  model->handleEscape();
  EXPECT_FALSE(model->nonContextPrompt);
  EXPECT_TRUE(model->isLoading);
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));  // refreshed: no context

  model->error = "kept";
  model->handleEscape();
  EXPECT_FALSE(model->isLoading);
  EXPECT_EQ(model->command.get(), "");
  EXPECT_TRUE(model->isCancelRequest);
  // The cancelled request's end only lowers the flag; pieces sent after Escape are dropped.
  session.send(deltaEvent(" more"));
  ASSERT_TRUE(waitFor([&] { return !model->isCancelRequest; }));
  settle();
  EXPECT_EQ(model->responseValue.get(), "Part");
  EXPECT_EQ(model->messages->back().content, "Part");
  EXPECT_EQ(model->messages->size(), 3u);
  EXPECT_EQ(model->error.get(), "kept");
  EXPECT_EQ(model->command.get(), "");
}

TEST_F(EscapeTest, AStoppedAnswerIsKeptMarkedCutShortAndItsTitleRenamesThatOneEntry) {
  serve(events({}), "🧪 Stopped");
  makeScriptedModel();
  model->streamChat("Tell me");
  transport.last().respond(200);
  transport.last().send(deltaEvent("Part"));
  ASSERT_TRUE(waitFor([&] { return model->responseValue.get() == "Part"; }));
  model->handleEscape();
  const std::string cut = "Part" + std::string(kCutShortMark);
  ASSERT_EQ(model->oldMessages->size(), 1u);  // kept at once, under the date title
  EXPECT_TRUE(model->oldMessages->at(0).topic.starts_with("\U0001F600 Chat: "));
  EXPECT_EQ(model->oldMessages->at(0).message().back().content, cut);
  EXPECT_EQ(model->responseValue.get(), "Part");  // the panel shows what came

  // Put away: the title comes over the network and renames the same entry.
  model->handleEscape();
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->at(0).topic == "🧪 Stopped"; }));
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(model->oldMessages->at(0).message().back().content, cut);
}

TEST_F(EscapeTest, ASendRightAfterCancellingIsNotSwallowed) {
  makeScriptedModel();
  model->streamChat("First");
  transport.last().respond(200);
  model->handleEscape();
  // Sent again before the cancelled request's end was delivered.
  model->streamChat("Second");
  auto& second = transport.last();
  second.respond(200);
  second.send(deltaEvent("Answer"));
  second.finish();
  ASSERT_TRUE(waitFor([&] { return !model->isLoading && !model->isCancelRequest; }));
  settle();
  EXPECT_EQ(model->responseValue.get(), "Answer");
  EXPECT_EQ(model->messages->back().content, "Answer");

  // The flag never sticks, so the next request goes through too.
  model->streamChat("Third");
  transport.last().respond(500);
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->error.get(), "Error 500");
}

TEST_F(EscapeTest, TypedTextIsOnlyCleared) {
  makeModel();
  model->responseValue = "An answer";
  model->messages = conversation(kTwoTurns);
  model->command = "typed";
  model->handleEscape();
  EXPECT_EQ(model->command.get(), "");
  EXPECT_EQ(model->responseValue.get(), "An answer");
  EXPECT_EQ(model->messages->size(), 5u);
  settle();
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(EscapeTest, PuttingAnAnswerAwaySavesItAndRefreshesTheListAfterwards) {
  serve(events({}), "🧪 Test topic");
  makeModel();
  model->messages = conversation(kTwoTurns);
  model->responseValue = "a2";
  model->filteredData = std::vector<int>{4};
  const double before = foundation::Date::now().timeIntervalSince1970;

  model->handleEscape();
  EXPECT_EQ(model->responseValue.get(), "");
  EXPECT_TRUE(model->messages->empty());
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{4}));  // not yet
  ASSERT_TRUE(waitFor([&] { return !model->oldMessages->empty(); }));
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));
  EXPECT_EQ(model->selectedIndex, -1);

  const auto& saved = model->oldMessages.get()[0];
  EXPECT_EQ(saved.topic, "🧪 Test topic");
  EXPECT_EQ(turnsOf(saved.message()), kTwoTurns);
  EXPECT_GE(saved.created, before - 1);
  EXPECT_LE(saved.created, foundation::Date::now().timeIntervalSince1970 + 1);

  // Nothing left to put away: no title request, no entry.
  model->responseValue = " ";
  model->handleEscape();
  settle();
  EXPECT_EQ(titleRequests().size(), 1u);
  EXPECT_EQ(model->oldMessages->size(), 1u);
}

TEST_F(EscapeTest, LeavingAReopenedChatUpdatesItInPlace) {
  serve(events({}), "📝 Updated");
  makeModel();
  model->oldMessages = std::vector<oldMessagesStruct>{
      {"zero", conversation({{"user", "0"}, {"assistant", "0"}}), 10},
      {"one", conversation({{"user", "1"}, {"assistant", "1"}}), 11},
      {"two", conversation({{"user", "2"}, {"assistant", "2"}}), 12}};
  model->openHistory = true;
  model->keyHistorySelected = 2;
  model->sendPrompt();
  ASSERT_TRUE(model->browseHistory);
  model->messages.modify([](std::vector<ChatMessage>& list) {
    list.push_back(ChatMessage::make("user", "more"));
    list.push_back(ChatMessage::make("assistant", "answer"));
  });
  model->isContext = true;

  model->handleEscape();
  EXPECT_FALSE(model->browseHistory);
  EXPECT_FALSE(model->openHistory);
  EXPECT_EQ(model->responseValue.get(), "");
  EXPECT_EQ(model->chatWithHistory, -1);
  EXPECT_TRUE(model->messages->empty());
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{1, 2, 4}));
  ASSERT_TRUE(waitFor([&] { return model->oldMessages.get()[2].topic == "📝 Updated"; }));
  EXPECT_EQ(model->oldMessages->size(), 3u);
  EXPECT_EQ(model->oldMessages.get()[2].created, 12);
  EXPECT_EQ(model->oldMessages.get()[2].message().size(), 4u);
  EXPECT_EQ(model->oldMessages.get()[1].topic, "one");
}

TEST_F(EscapeTest, ThenContextThenPinThenPanel) {
  makeModel();
  auto panel = std::make_shared<FakeFloatingViewPanel>();
  model->FloatingViewPanel = panel;
  model->selectedValue = "captured";
  model->isContext = true;
  model->isOnTopBinding = true;

  model->handleEscape();
  EXPECT_EQ(model->selectedValue.get(), "");
  EXPECT_EQ(model->status.get(), "Context removed");
  EXPECT_FALSE(model->isContext);
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));
  EXPECT_TRUE(model->isOnTopBinding);

  model->handleEscape();
  EXPECT_FALSE(model->isOnTopBinding);
  EXPECT_EQ(panel->resignCalls, 0);

  model->handleEscape();
  EXPECT_EQ(panel->resignCalls, 1);
  EXPECT_FALSE(panel->open);

  model->FloatingViewPanel = nullptr;
  model->handleEscape();  // no panel: nothing
}

TEST_F(RegenerateTest, StreamsTheConversationAgainWithoutItsLastAnswer) {
  serve(events({deltaEvent("new "), deltaEvent("a2"), testing::kDoneEvent}));
  makeModel();
  model->messages = conversation(kTwoTurns);
  ::testing::internal::CaptureStdout();
  model->regenerate();
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(printed.starts_with("[ChatMessage(id: ")) << printed;
  EXPECT_NE(printed.find("role: user, content: q2)]"), std::string::npos) << printed;
  EXPECT_EQ(model->command.get(), " ");
  EXPECT_EQ(model->responseValue.get(), "");
  EXPECT_TRUE(model->isLoading);

  model->regenerate();  // while loading: nothing
  EXPECT_EQ(model->messages->size(), 4u);

  ASSERT_TRUE(waitUntilIdle());
  ASSERT_EQ(streamRequests().size(), 1u);
  EXPECT_EQ(sentTurns(streamRequests()[0].body),
            (Turns{{"system", "s"}, {"user", "q1"}, {"assistant", "a1"}, {"user", "q2"}}));
  Turns expected = kTwoTurns;
  expected.back().second = "new a2";
  EXPECT_EQ(turnsOf(model->messages), expected);
  EXPECT_EQ(model->responseValue.get(), "new a2");
  EXPECT_EQ(model->error.get(), "");
  EXPECT_EQ(model->command.get(), "");
}

TEST_F(RegenerateTest, WithoutAnAnswerAtTheEndDoesNothing) {
  makeScriptedModel();
  for (const Turns& turns : {Turns{}, Turns{{"system", "s"}, {"user", "q"}}}) {
    model->messages = conversation(turns);
    model->command = "kept";
    model->regenerate();
    EXPECT_EQ(turnsOf(model->messages), turns);
    EXPECT_EQ(model->command.get(), "kept");
    EXPECT_FALSE(model->isLoading);
  }
  EXPECT_TRUE(transport.sessions.empty());
}

TEST_F(RegenerateTest, ARefusalRemovesTheQuestionAndTheNewAnswerOnly) {
  makeScriptedModel();
  model->messages = conversation(kTwoTurns);
  model->responseValue = "a2";
  model->regenerate();
  transport.last().respond(400);
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->error.get(), "Error 400: Bad request. Your request is too long.");
  EXPECT_EQ(turnsOf(model->messages),
            (Turns{{"system", "s"}, {"user", "q1"}, {"assistant", "a1"}}));
  EXPECT_EQ(model->responseValue.get(), "");  // as the open step left it: no "Error 400"
  settle();
  EXPECT_TRUE(model->oldMessages->empty());

  // Without any response the earlier answer stays, and no prompt comes back.
  model->messages = conversation(kTwoTurns);
  model->regenerate();
  transport.last().finish(foundation::URLError::make(foundation::URLError::Code::timedOut));
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->error.get(), "The request timed out.");
  EXPECT_EQ(turnsOf(model->messages),
            (Turns{{"system", "s"}, {"user", "q1"}, {"assistant", "a1"}}));
  EXPECT_EQ(model->command.get(), "");
}

}  // namespace
}  // namespace core
