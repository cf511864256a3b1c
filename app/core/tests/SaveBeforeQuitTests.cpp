#include <sys/stat.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>

#include "ChatModelFixture.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ScopedPermissionChecks.h"

namespace core {
namespace {

using testsupport::readFile;

using testing::ChatModelTest;
using testing::conversation;
using testing::deltaEvent;
using testing::jsonReply;
using testing::turnsOf;
using Turns = std::vector<std::pair<std::string, std::string>>;

const std::regex kDateTitle("^😀 Chat: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$");

// Holds the server's replies back until opened; opens at the latest when the test ends.
class Gate {
 public:
  ~Gate() { open(); }
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  void pass() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

class SaveBeforeQuitTest : public ChatModelTest {
 protected:
  std::filesystem::path historyFile() const {
    return home.documents() / "Quillcast" / "QuillcastHistory.json";
  }
  // The saved chats as the file has them: (topic, turns).
  std::vector<std::pair<std::string, Turns>> savedOnDisk() const {
    std::vector<std::pair<std::string, Turns>> chats;
    for (const auto& chat : decodeJSON<std::vector<oldMessagesStruct>>(readFile(historyFile())))
      chats.emplace_back(chat.topic, turnsOf(chat.message));
    return chats;
  }
  void answer(const std::string& prompt) {
    model->streamChat(prompt);
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(model->error.get(), "");
  }
};

TEST_F(SaveBeforeQuitTest, AnAnsweredChatIsSavedUnderTheDateTitleOnceAndWithoutTheNetwork) {
  serve(events({deltaEvent("Hel"), deltaEvent("lo"), testing::kDoneEvent}));
  makeModel();
  answer("Hi");
  const auto requestsBefore = server.requests(testing::kChatPath).size();

  EXPECT_TRUE(model->saveBeforeQuit());
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_TRUE(std::regex_match(model->oldMessages->at(0).topic, kDateTitle))
      << model->oldMessages->at(0).topic;
  const Turns chat{
      {"system", "You are a helpful assistant."}, {"user", "Hi"}, {"assistant", "Hello"}};
  ASSERT_EQ(savedOnDisk().size(), 1u);
  EXPECT_EQ(savedOnDisk()[0].second, chat);
  EXPECT_EQ(server.requests(testing::kChatPath).size(), requestsBefore);

  // Told twice (the session asks first, then the loop ends): still one entry.
  const std::string file = readFile(historyFile());
  EXPECT_TRUE(model->saveBeforeQuit());
  EXPECT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(readFile(historyFile()), file);
}

TEST_F(SaveBeforeQuitTest, NothingWithoutAnAnswerIsSaved) {
  makeModel();
  EXPECT_TRUE(model->saveBeforeQuit());
  model->messages = conversation({{"system", "s"}, {"user", "q"}});
  EXPECT_TRUE(model->saveBeforeQuit());
  EXPECT_TRUE(model->oldMessages->empty());
  EXPECT_FALSE(std::filesystem::exists(historyFile()));
}

TEST_F(SaveBeforeQuitTest, AReopenedChatIsSavedInItsPlaceOnlyWhenItChanged) {
  serve(events({deltaEvent("more"), testing::kDoneEvent}));
  makeModel();
  model->oldMessages = std::vector<oldMessagesStruct>{
      {"🆕 Newest", conversation({{"user", "n"}, {"assistant", "N"}}), 30},
      {"🧪 Reopened", conversation({{"system", "s"}, {"user", "q"}, {"assistant", "a"}}), 20},
      {"📦 Oldest", conversation({{"user", "o"}, {"assistant", "O"}}), 10}};
  model->openHistory = true;
  model->keyHistorySelected = 1;
  model->sendPrompt();
  ASSERT_TRUE(model->browseHistory);

  // Only looked at: nothing is written, its title stays.
  const auto before = model->oldMessages.get();
  EXPECT_TRUE(model->saveBeforeQuit());
  EXPECT_EQ(model->oldMessages.get(), before);
  EXPECT_FALSE(std::filesystem::exists(historyFile()));

  // Continued: the same entry, its title and first date kept, takes the longer chat.
  model->selectedIndex = -1;  // the typed command, not a preset
  model->command = "go on";
  model->sendPrompt();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_TRUE(model->saveBeforeQuit());
  const auto saved = savedOnDisk();
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved[1].first, "🧪 Reopened");
  EXPECT_EQ(saved[1].second, (Turns{{"system", "s"},
                                    {"user", "q"},
                                    {"assistant", "a"},
                                    {"user", "go on"},
                                    {"assistant", "more"}}));
  EXPECT_EQ(model->oldMessages->at(1).created, 20);
  EXPECT_EQ(saved[0].first, "🆕 Newest");
}

TEST_F(SaveBeforeQuitTest, AChatWaitingForItsTitleIsSavedAndTheLateTitleRenamesItInPlace) {
  Gate title;
  server.replyWith(testing::kChatPath, [&](const testsupport::RecordedRequest& request) {
    if (nlohmann::json::parse(request.body).at("stream") == true)
      return events({deltaEvent("Answer"), testing::kDoneEvent});
    title.pass();
    return jsonReply(200, testing::chatReply("🐢 Slow title"));
  });
  makeModel();
  answer("Question");
  model->handleEscape();  // the chat leaves the panel; its title is on the way
  ASSERT_TRUE(model->messages->empty());
  ASSERT_TRUE(waitFor([&] { return titleRequests().size() == 1; }));

  EXPECT_TRUE(model->saveBeforeQuit());
  ASSERT_EQ(savedOnDisk().size(), 1u);
  EXPECT_TRUE(std::regex_match(savedOnDisk()[0].first, kDateTitle));
  EXPECT_EQ(savedOnDisk()[0].second.back(),
            (std::pair<std::string, std::string>{"assistant", "Answer"}));
  EXPECT_TRUE(model->saveBeforeQuit());
  EXPECT_EQ(savedOnDisk().size(), 1u);

  // The session went on after all, and the title came.
  title.open();
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->at(0).topic == "🐢 Slow title"; }));
  settle();
  ASSERT_EQ(savedOnDisk().size(), 1u);
  EXPECT_EQ(savedOnDisk()[0].first, "🐢 Slow title");
}

TEST_F(SaveBeforeQuitTest, AChatSavedAtAQuitThatDidNotEndStaysOneEntry) {
  serve(events({deltaEvent("Answer"), testing::kDoneEvent}), "🧭 Kept once");
  makeModel();
  answer("Question");
  EXPECT_TRUE(model->saveBeforeQuit());
  // The user goes on, then starts a new chat: the title lands on the same entry.
  model->selectedIndex = -1;
  model->command = "and more";
  model->sendPrompt();
  ASSERT_TRUE(waitUntilIdle());
  model->handleEscape();
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->at(0).topic == "🧭 Kept once"; }));
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(model->oldMessages->at(0).message().size(), 5u);
}

TEST_F(SaveBeforeQuitTest, AnAnswerStillArrivingIsKeptAsFarAsItCameMarkedCutShort) {
  makeScriptedModel();
  model->streamChat("First");
  transport.last().respond(200);
  transport.last().send(testing::deltaEvent("Done") + testing::kDoneEvent);
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
  ASSERT_EQ(model->oldMessages->size(), 1u);  // kept as soon as it was whole
  model->streamChat("Second");
  transport.last().respond(200);
  transport.last().send(testing::deltaEvent("Half an ans"));
  ASSERT_TRUE(waitFor([&] { return model->responseValue.get() == "Half an ans"; }));

  EXPECT_TRUE(model->saveBeforeQuit());
  ASSERT_EQ(model->oldMessages->size(), 1u);  // the same chat, not a second one
  const std::string cut = "Half an ans" + std::string(kCutShortMark);
  EXPECT_EQ(turnsOf(model->oldMessages->at(0).message()),
            (Turns{{"system", "You are a helpful assistant."},
                   {"user", "First"},
                   {"assistant", "Done"},
                   {"user", "Second"},
                   {"assistant", cut}}));
  EXPECT_EQ(savedOnDisk()[0].second.back().second, cut);
  EXPECT_EQ(model->messages->back().content, "Half an ans");  // the panel keeps what it shows
  // The quit did not end the program: the whole answer replaces the cut one in place.
  transport.last().send(testing::deltaEvent("wer") + testing::kDoneEvent);
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(model->oldMessages->at(0).message().back().content, "Half an answer");

  // A first question with nothing of its answer yet leaves nothing to keep; a few words do.
  model->messages = std::vector<ChatMessage>{};
  model->oldMessages = std::vector<oldMessagesStruct>{};
  model->streamChat("Only");
  transport.last().respond(200);
  ASSERT_TRUE(waitFor([&] { return model->messages->size() == 3; }));
  EXPECT_TRUE(model->saveBeforeQuit());
  EXPECT_TRUE(model->oldMessages->empty());
  transport.last().send(testing::deltaEvent("Par"));
  ASSERT_TRUE(waitFor([&] { return model->responseValue.get() == "Par"; }));
  EXPECT_TRUE(model->saveBeforeQuit());
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(turnsOf(model->oldMessages->at(0).message()),
            (Turns{{"system", "You are a helpful assistant."},
                   {"user", "Only"},
                   {"assistant", "Par" + std::string(kCutShortMark)}}));
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
}

TEST_F(SaveBeforeQuitTest, WhatAReadOnlyFolderRefusedIsWrittenAtQuitOnceItCan) {
  serve(events({deltaEvent("Answer"), testing::kDoneEvent}), "🔒 Locked");
  // Before the model, so that its writer is held to the permissions too.
  testsupport::ScopedPermissionChecks checked;
  ASSERT_TRUE(checked.binding());
  makeModel();
  const auto folder = home.documents() / "Quillcast";
  std::vector<SaveFailure> told;
  model->documents().onSaveFailure([&](const SaveFailure& failure) { told.push_back(failure); });
  ASSERT_TRUE(model->documents().waitForWrites());
  ::chmod(folder.c_str(), 0500);

  answer("Question");
  model->handleEscape();
  // Kept under the date title when the answer came, renamed in place when the title came.
  ASSERT_TRUE(waitFor([&] {
    return model->oldMessages->size() == 1 && model->oldMessages->at(0).topic == "🔒 Locked";
  }));
  EXPECT_FALSE(std::filesystem::exists(historyFile()));
  EXPECT_FALSE(model->saveBeforeQuit());
  ASSERT_FALSE(told.empty());
  EXPECT_EQ(told.back().file, historyFile());
  EXPECT_EQ(told.back().reason, std::make_error_code(std::errc::permission_denied).message());

  ::chmod(folder.c_str(), 0700);
  EXPECT_TRUE(model->saveBeforeQuit());
  ASSERT_EQ(savedOnDisk().size(), 1u);
  EXPECT_EQ(savedOnDisk()[0].first, "🔒 Locked");
}

}  // namespace
}  // namespace core
