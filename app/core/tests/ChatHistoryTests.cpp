#include <cstdlib>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "ChatModelFixture.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ProcessMemory.h"

namespace core {
namespace {

using testsupport::readFile;

using testing::ChatModelTest;
using testing::conversation;
using testing::deltaEvent;
using testing::jsonReply;
using testing::sentTurns;
using testing::turnsOf;
using Turns = std::vector<std::pair<std::string, std::string>>;
using testsupport::LoopbackServer;

using ChatHistoryTest = ChatModelTest;

const Turns kChat = {{"system", "s"}, {"user", "q"}, {"assistant", "a"}};
const std::regex kDateTitle("^😀 Chat: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$");

TEST_F(ChatHistoryTest, AsksForATitleAndSavesTheChatNewestFirst) {
  serve(events({}), "🧪 Test topic");
  makeModel();
  model->oldMessages = std::vector<oldMessagesStruct>{{"older", conversation(kChat), 5}};
  model->messages = conversation(kChat);
  model->summarizeChat();
  model->messages = std::vector<ChatMessage>{};  // the snapshot was taken already
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->size() == 2; }));

  const auto& saved = model->oldMessages.get();
  EXPECT_EQ(saved[0].topic, "🧪 Test topic");
  EXPECT_EQ(turnsOf(saved[0].message()), kChat);
  EXPECT_EQ(saved[1].topic, "older");

  const auto requests = titleRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_EQ(requests[0].headerCount("Authorization"), 0u);  // no key, no field
  const auto sent = sentTurns(requests[0].body);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent.back().first, "user");
  EXPECT_EQ(sent.back().second,
            "In not more than 1 sentence, what have we been talking about? Answer in this "
            "specific pattern only: [emoji][topics name]  use only 1 emoji (Not two, not three) "
            "related to the topic at the front of the sentence, make topics name as short as "
            "possible but specific");
  EXPECT_EQ(sent.back().second.size(), 261u);
  EXPECT_EQ(nlohmann::json::parse(requests[0].body).at("model"), "gpt-3.5-turbo");

  ASSERT_TRUE(model->documents().waitForWrites());
  const auto file =
      nlohmann::json::parse(readFile(home.documents() / "Quillcast" / "QuillcastHistory.json"));
  ASSERT_EQ(file.size(), 2u);
  EXPECT_EQ(file[0].at("topic"), "🧪 Test topic");
  EXPECT_EQ(file[1].at("topic"), "older");
  EXPECT_EQ(readFile(home.documents() / "Quillcast" / "QuillcastHistory.json").find("\"id\""),
            std::string::npos);

  // With a key the field goes along.
  model->userDefaults().set("openapikey", "sk-title");
  model->messages = conversation(kChat);
  model->summarizeChat();
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->size() == 3; }));
  EXPECT_EQ(titleRequests().back().header("Authorization"), "Bearer sk-title");
}

TEST_F(ChatHistoryTest, AnAnsweredChatIsKeptAtOnceAndItsTitleRenamesItInPlace) {
  serve(events({deltaEvent("First answer"), "data: [DONE]\n\n"}), "🧪 Renamed");
  makeModel();
  model->streamChat("First question");
  ASSERT_TRUE(waitUntilIdle());
  ASSERT_EQ(model->oldMessages->size(), 1u);
  const double created = model->oldMessages->at(0).created;
  model->streamChat("Second question");
  ASSERT_TRUE(waitUntilIdle());
  ASSERT_EQ(model->oldMessages->size(), 1u);  // the next turn updates the same entry
  EXPECT_EQ(model->oldMessages->at(0).message().size(), 5u);
  model->summarizeChat();
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->at(0).topic == "🧪 Renamed"; }));
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(model->oldMessages->at(0).created, created);
}

TEST_F(ChatHistoryTest, TheTitleRequestCarriesOnlyTheBeginningOfAHugeChat) {
  serve(events({}), "🧪 Huge");
  makeModel();
  // Multi-byte characters all the way, so that a cut inside one would show.
  std::string huge;
  while (huge.size() < 4 * 1024 * 1024) huge += "Grüße ";
  model->messages = conversation({{"system", "s"}, {"user", huge}, {"assistant", huge}});
  model->summarizeChat();
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->size() == 1; }));
  EXPECT_EQ(model->oldMessages->at(0).message().back().content, huge);  // saved whole
  const auto requests = titleRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_LT(requests[0].body.size(), 16u * 1024);
  const auto sent = sentTurns(requests[0].body);  // valid JSON: no character cut in two
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_TRUE(huge.starts_with(sent[1].second));
  EXPECT_GT(sent[1].second.size(), 1000u);
  EXPECT_EQ(sent.back().second.size(), 261u);  // the title prompt itself is whole
}

TEST_F(ChatHistoryTest, AReopenedChatIsReplacedEvenWhenAnotherSaveMovedIt) {
  serve(events({}), "📝 Reopened");
  makeModel();
  model->oldMessages = std::vector<oldMessagesStruct>{{"zero", conversation(kChat), 10},
                                                      {"one", conversation(kChat), 11}};
  model->openHistory = true;
  model->keyHistorySelected = 1;
  model->sendPrompt();
  EXPECT_EQ(model->chatWithHistory, 1);
  model->messages.modify(
      [](std::vector<ChatMessage>& list) { list.push_back(ChatMessage::make("user", "more")); });
  model->summarizeChat();
  // Another chat lands at the front before the title comes back.
  model->saveHistory("newest", conversation(kChat), -1);
  ASSERT_TRUE(waitFor([&] { return model->oldMessages.get()[2].topic == "📝 Reopened"; }));
  const auto& saved = model->oldMessages.get();
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved[0].topic, "newest");
  EXPECT_EQ(saved[1].topic, "zero");
  EXPECT_EQ(saved[1].message().size(), 3u);
  EXPECT_EQ(saved[2].created, 11);
  EXPECT_EQ(saved[2].message().size(), 4u);
}

TEST_F(ChatHistoryTest, SavesByPositionAndInsertsForAPositionOutsideTheList) {
  makeModel();
  model->oldMessages =
      std::vector<oldMessagesStruct>{{"zero", {}, 10}, {"one", {}, 11}, {"two", {}, 12}};
  model->saveHistory("two again", conversation(kChat), 2);
  EXPECT_EQ(model->oldMessages.get()[2].topic, "two again");
  EXPECT_EQ(model->oldMessages.get()[2].created, 12);
  EXPECT_EQ(turnsOf(model->oldMessages.get()[2].message()), kChat);

  for (const int outside : {3, 99}) {
    model->saveHistory("outside", conversation(kChat), outside);
    EXPECT_EQ(model->oldMessages.get()[0].topic, "outside");
  }
  EXPECT_EQ(model->oldMessages->size(), 5u);

  model->saveHistoryWithDateTitle(conversation(kChat), -1);
  EXPECT_TRUE(std::regex_match(model->oldMessages.get()[0].topic, kDateTitle));
}

TEST_F(ChatHistoryTest, EveryUnusableReplyKeepsTheChatUnderTheDateTitle) {
  struct Case {
    std::string name;
    LoopbackServer::Reply reply;
    std::string printedStart;  // empty: nothing printed
  };
  const std::vector<Case> cases = {
      {"error body", jsonReply(401, R"({"error":{"message":"bad key"}})"),
       "Unexpected saving error: "},
      {"no choices",
       jsonReply(200, R"({"id":"r","object":"o","created":1,"model":"m","usage":{},"choices":[]})"),
       ""},
      {"empty body", jsonReply(200, ""), "Unexpected saving error: "},
  };
  for (const auto& unusable : cases) {
    SCOPED_TRACE(unusable.name);
    server.reply(testing::kChatPath, unusable.reply);
    makeModel();
    model->messages = conversation(kChat);
    ::testing::internal::CaptureStdout();
    model->summarizeChat();
    const bool saved = waitFor([&] { return !model->oldMessages->empty(); });
    const std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(saved);
    EXPECT_TRUE(std::regex_match(model->oldMessages.get()[0].topic, kDateTitle))
        << model->oldMessages.get()[0].topic;
    EXPECT_EQ(turnsOf(model->oldMessages.get()[0].message()), kChat);
    if (unusable.printedStart.empty()) {
      EXPECT_EQ(printed.find("Unexpected"), std::string::npos) << printed;
    } else {
      EXPECT_NE(printed.find(unusable.printedStart), std::string::npos) << printed;
      EXPECT_NE(printed.find(".\n"), std::string::npos) << printed;
    }
    // Written, so that it is not written again after it is gone, for the next case to read.
    ASSERT_TRUE(model->documents().waitForWrites());
    std::filesystem::remove(home.documents() / "Quillcast" / "QuillcastHistory.json");
  }
}

TEST_F(ChatHistoryTest, AnInflatingTitleReplyIsCutOffAndTheChatKept) {
  server.gzippedZeros(testing::kChatPath, 2ull << 30);  // 2 GiB of zeros
  makeModel();
  model->messages = conversation(kChat);
  testsupport::resetPeakResidentBytes();
  const std::size_t before = testsupport::residentBytes();
  ::testing::internal::CaptureStdout();
  model->summarizeChat();
  const bool saved = waitFor([&] { return !model->oldMessages->empty(); });
  const std::string printed = ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(saved);
  EXPECT_LT(testsupport::peakResidentBytes(), before + (64u << 20));
  EXPECT_LT(testsupport::residentBytes(), before + (64u << 20));
  EXPECT_NE(printed.find("The response is too large.\n"), std::string::npos) << printed;
  EXPECT_TRUE(std::regex_match(model->oldMessages.get()[0].topic, kDateTitle));
  EXPECT_EQ(turnsOf(model->oldMessages.get()[0].message()), kChat);
}

TEST_F(ChatHistoryTest, OfflineTheChatIsStillSaved) {
  makeModel(
      {.chatServiceBaseURL = "http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort())});
  model->messages = conversation(kChat);
  ::testing::internal::CaptureStdout();
  model->summarizeChat();
  const bool saved = waitFor([&] { return !model->oldMessages->empty(); });
  const std::string printed = ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(saved);
  EXPECT_NE(printed.find("Could not connect to the server.\n"), std::string::npos) << printed;
  EXPECT_TRUE(std::regex_match(model->oldMessages.get()[0].topic, kDateTitle));
}

TEST_F(ChatHistoryTest, OfflineAReopenedChatKeepsItsTopic) {
  makeModel(
      {.chatServiceBaseURL = "http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort())});
  model->oldMessages = std::vector<oldMessagesStruct>{{"📝 Trip plans", conversation(kChat), 10},
                                                      {"", conversation(kChat), 11}};
  for (const int reopened : {0, 1}) {
    model->openHistory = true;
    model->keyHistorySelected = reopened;
    model->sendPrompt();
    ASSERT_EQ(model->chatWithHistory, reopened);
    model->messages.modify(
        [](std::vector<ChatMessage>& list) { list.push_back(ChatMessage::make("user", "more")); });
    ::testing::internal::CaptureStdout();
    model->summarizeChat();
    const bool saved = waitFor([&] {
      return model->oldMessages.get()[static_cast<std::size_t>(reopened)].message().size() == 4;
    });
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(saved);
  }
  const auto& saved = model->oldMessages.get();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].topic, "📝 Trip plans");
  // A chat without a topic has nothing to keep and takes the date title.
  EXPECT_TRUE(std::regex_match(saved[1].topic, kDateTitle)) << saved[1].topic;
}

TEST_F(ChatHistoryTest, AConversationWithoutAnAnswerIsNotTitled) {
  serve(events({}));
  makeModel();
  for (const Turns& turns : {Turns{}, Turns{{"system", "s"}}, Turns{{"system", "s"}, {"user", "q"}},
                             Turns{{"user", "q"}, {"assistant", ""}}}) {
    model->messages = conversation(turns);
    model->summarizeChat();
  }
  settle();
  EXPECT_TRUE(titleRequests().empty());
  EXPECT_TRUE(model->oldMessages->empty());
}

TEST(DateTitleTest, IsTheLocalDateAndMinute) {
  const char* old = std::getenv("TZ");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(DataModel::dateTitle(1796682659), "😀 Chat: 2026-12-07 22:30");
  ::setenv("TZ", "Asia/Kolkata", 1);
  ::tzset();
  EXPECT_EQ(DataModel::dateTitle(1796682659), "😀 Chat: 2026-12-08 04:00");
  if (saved) {
    ::setenv("TZ", saved->c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  EXPECT_EQ(std::string("😀 Chat: ").size(), 11u);
}

}  // namespace
}  // namespace core
