#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "TestPresets.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "foundation/DispatchQueue.h"
#include "foundation/MainThread.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/ScopedPermissionChecks.h"

namespace core {
namespace {

using testsupport::readFile;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<ChatMessage> answeredChat(const std::string& question) {
  return {ChatMessage::make("user", question), ChatMessage::make("assistant", "answer")};
}

// Saved chats of about 5 KB each.
std::vector<oldMessagesStruct> manyChats(int count) {
  const std::string text(2500, 'x');
  std::vector<oldMessagesStruct> chats;
  for (int i = 0; i < count; ++i)
    chats.push_back({"Chat " + std::to_string(i),
                     {ChatMessage::make("user", text), ChatMessage::make("assistant", text)},
                     1.0 * i});
  return chats;
}

// Holds the writer inside an encode until opened; opens at the latest when the test ends.
class Gate {
 public:
  ~Gate() { open(); }
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  void pass() {
    std::unique_lock lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
  }
  bool waitUntilEntered() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return entered_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  bool entered_ = false;
};

// Remembers what the writer encoded, in order.
class EncodeLog {
 public:
  std::function<std::string()> encoding(std::string bytes, Gate* gate = nullptr) {
    return [this, bytes, gate] {
      if (gate) gate->pass();
      std::lock_guard lock(mutex_);
      encoded_.push_back(bytes);
      return bytes;
    };
  }
  std::vector<std::string> encoded() {
    std::lock_guard lock(mutex_);
    return encoded_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> encoded_;
};

class BackgroundSavingTest : public ::testing::Test {
 protected:
  fs::path folder() const { return home.documents() / "Quillcast"; }
  fs::path historyFile() const { return folder() / kHistoryFileName; }
  fs::path presetsFile() const { return folder() / kPromptsFileName; }
  std::unique_ptr<DataModel> start() {
    return std::make_unique<DataModel>(DataModelEnvironment{.bundle = &shipped.bundle()});
  }
  std::vector<oldMessagesStruct> historyOnDisk() const {
    return decodeJSON<std::vector<oldMessagesStruct>>(readFile(historyFile()));
  }

  testsupport::ScopedHome home;
  TestBundle shipped = TestBundle::withPresets(samplePresets());
};

TEST_F(BackgroundSavingTest, WritesKeepTheirOrderAndANewerOneReplacesOneStillWaiting) {
  // Before the folder, whose end waits for the writer; every gate is opened on every road.
  EncodeLog log;
  Gate gate, again;
  DocumentsFolder documents;
  // The first is being written while the others come.
  documents.write(kHistoryFileName, log.encoding("[1]", &gate));
  EXPECT_TRUE(gate.waitUntilEntered());
  documents.write(kHistoryFileName, log.encoding("[2]"));
  documents.write(kPromptsFileName, log.encoding("[\"p\"]"));
  documents.write(kHistoryFileName, log.encoding("[3]"));
  EXPECT_FALSE(documents.waitForWrites(50ms));  // bounded while the writer is held
  gate.open();
  EXPECT_TRUE(documents.waitForWrites());

  // The second never went to disk: the third took its place in the line, ahead of the presets.
  EXPECT_EQ(log.encoded(), (std::vector<std::string>{"[1]", "[3]", "[\"p\"]"}));
  EXPECT_EQ(readFile(historyFile()), "[3]");
  EXPECT_EQ(readFile(presetsFile()), "[\"p\"]");

  // One begun is never replaced: the older one ends first, so the newer one is what stays.
  documents.write(kHistoryFileName, log.encoding("[4]", &again));
  EXPECT_TRUE(again.waitUntilEntered());
  documents.write(kHistoryFileName, log.encoding("[5]"));
  again.open();
  EXPECT_TRUE(documents.waitForWrites());
  EXPECT_EQ(readFile(historyFile()), "[5]");
}

TEST_F(BackgroundSavingTest, EachSaveWritesTheListAsItWasWhenHandedOver) {
  auto model = start();
  model->oldMessages = manyChats(300);
  // A burst while the writer is busy: whatever it skips, the last list is what ends on disk.
  for (int i = 0; i < 40; ++i) model->saveHistoryWithDateTitle(answeredChat(std::to_string(i)), -1);
  // A reopened chat changed after its save: the copy the writer holds keeps the old text.
  model->saveHistory("Renamed", answeredChat("changed"), 5);
  const SavedChatList handedOver = model->oldMessages.get();
  model->saveHistory("Renamed again", answeredChat("changed twice"), 5);
  EXPECT_EQ(handedOver[5].topic, "Renamed");
  EXPECT_EQ(handedOver[5].message()[0].content, "changed");
  ASSERT_TRUE(model->documents().waitForWrites());

  const auto saved = historyOnDisk();
  ASSERT_EQ(saved.size(), 340u);
  EXPECT_EQ(saved[0].message[0].content, "39");
  EXPECT_EQ(saved[5].topic, "Renamed again");
  EXPECT_EQ(saved[5].message[0].content, "changed twice");
  EXPECT_EQ(saved[339].topic, "Chat 299");
  // The same bytes as the whole list encoded at once.
  EXPECT_EQ(readFile(historyFile()), encodeJSON(model->oldMessages->toVector()));
}

TEST_F(BackgroundSavingTest, AFailedSaveIsToldOnTheMainQueueOncePerStreakAndTriedAgain) {
  testsupport::ScopedPermissionChecks checked;  // before the writer starts, so it binds it too
  ASSERT_TRUE(checked.binding());
  auto model = start();
  ASSERT_TRUE(model->documents().waitForWrites());
  std::vector<bool> toldOnMainThread;
  model->documents().onSaveFailure(
      [&](const SaveFailure&) { toldOnMainThread.push_back(foundation::isMainThread()); });
  ::chmod(folder().c_str(), 0500);
  for (int i = 0; i < 3; ++i) model->saveHistoryWithDateTitle(answeredChat("kept"), -1);
  // No one waits for the writer here: the news comes through the main queue.
  ASSERT_TRUE(foundation::MainRunLoop::runUntil(
      [&] { return !toldOnMainThread.empty() && model->documents().hasUnsavedFiles(); }, 10s));
  foundation::MainRunLoop::runFor(50ms);
  EXPECT_EQ(toldOnMainThread, std::vector<bool>{true});

  // Mended, the saves still missing reach the disk at Quit, with nothing more asked of it.
  ::chmod(folder().c_str(), 0700);
  EXPECT_TRUE(model->saveBeforeQuit());
  EXPECT_FALSE(model->documents().hasUnsavedFiles());
  EXPECT_EQ(historyOnDisk().size(), 3u);
}

TEST_F(BackgroundSavingTest, ASaveMadeBeforeTheHistoryIsReadNeverWritesTheFileWithLess) {
  ASSERT_TRUE(saveJSONToDocuments(manyChats(2000), kHistoryFileName));
  auto model = start();
  // The file's chats come in through the main queue, which has not run yet.
  ASSERT_FALSE(model->historyLoaded());
  model->saveHistoryWithDateTitle(answeredChat("before the file was read"), -1);
  EXPECT_EQ(model->oldMessages->size(), 1u);

  ASSERT_TRUE(model->finishLoadingHistory());
  ASSERT_TRUE(model->documents().waitForWrites());
  // Newest first: the chat saved meanwhile, then every chat the file held.
  ASSERT_EQ(model->oldMessages->size(), 2001u);
  EXPECT_EQ(model->oldMessages->at(0).message()[0].content, "before the file was read");
  const auto saved = historyOnDisk();
  ASSERT_EQ(saved.size(), 2001u);
  EXPECT_EQ(saved[0].message[0].content, "before the file was read");
  EXPECT_EQ(saved[1].topic, "Chat 0");
  EXPECT_EQ(saved[2000].topic, "Chat 1999");
}

// The program ends right after Quit returns (as it does at the session's end), here before the
// history file was even read in: the save handed to the writer just before must be whole on disk.
TEST_F(BackgroundSavingTest, AQuitRightAfterASaveOfALargeHistoryLeavesTheFileWhole) {
  ASSERT_TRUE(saveJSONToDocuments(manyChats(4000), kHistoryFileName));  // about 20 MB
  ::fflush(nullptr);
  const pid_t program = ::fork();
  ASSERT_GE(program, 0);
  if (program == 0) {
    auto model = start();
    model->saveHistoryWithDateTitle(answeredChat("the last question"), -1);
    const bool saved = model->saveBeforeQuit();
    ::_exit(saved ? 0 : 1);  // no destructor waits for anything
  }
  int status = 0;
  ASSERT_EQ(::waitpid(program, &status, 0), program);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const auto saved = historyOnDisk();
  ASSERT_EQ(saved.size(), 4001u);
  EXPECT_EQ(saved[0].message[0].content, "the last question");
  EXPECT_EQ(saved[4000].topic, "Chat 3999");
}

TEST_F(BackgroundSavingTest, AKillWhileTheWriterSavesLeavesATemporaryThatALaterStartSweeps) {
  fs::create_directories(folder());
  ::fflush(nullptr);
  const pid_t program = ::fork();
  ASSERT_GE(program, 0);
  if (program == 0) {
    auto model = start();
    model->oldMessages = manyChats(4000);
    for (;;) {
      model->saveHistoryWithDateTitle(answeredChat("again"), -1);
      model->documents().waitForWrites();
    }
  }
  fs::path left;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (left.empty() && std::chrono::steady_clock::now() < deadline) {
    std::error_code error;
    for (auto it = fs::directory_iterator(folder(), error);
         !error && it != fs::directory_iterator(); it.increment(error))
      if (foundation::files::isTemporaryOf(historyFile(), it->path().filename().string()))
        left = it->path();
  }
  ::kill(program, SIGKILL);
  ::waitpid(program, nullptr, 0);
  ASSERT_FALSE(left.empty()) << "the writer never began a save";
  if (!fs::exists(left)) GTEST_SKIP() << "the save ended before the kill";

  start();  // a writer of another instance might still hold it
  ASSERT_TRUE(fs::exists(left));
  fs::last_write_time(left, fs::file_time_type::clock::now() - std::chrono::minutes(2));
  start();
  EXPECT_FALSE(fs::exists(left));
  for (const auto& entry : fs::directory_iterator(folder()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(BackgroundSavingTest, AWriterThatHangsIsLeftBehindAtTheEndAndWhatItHeldIsNamed) {
  Gate gate;
  EncodeLog log;
  auto folder = std::make_unique<DocumentsFolder>();
  folder->write(kHistoryFileName, log.encoding("[1]", &gate));
  ASSERT_TRUE(gate.waitUntilEntered());
  EXPECT_FALSE(folder->waitForWrites(100ms));

  testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  folder.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(std::string(kHistoryFileName) + " could not be written in time"),
            std::string::npos)
      << said;

  // The turn left behind still ends soundly once its disk answers.
  gate.open();
  EXPECT_TRUE(foundation::MainRunLoop::runUntil([&] { return fs::exists(historyFile()); }, 10s));
  EXPECT_EQ(readFile(historyFile()), "[1]");
}

TEST(SavedChatListTest, CopiesShareTheirChatsAndAChangeNeverReachesAnotherCopy) {
  SavedChatList list{{"zero", {}, 0}, {"one", {}, 1}};
  const SavedChatList copy = list;
  EXPECT_EQ(&copy[1], &list[1]);  // shared, not copied
  list.change(1, [](SavedChat& chat) { chat.topic = "changed"; });
  list.insert(0, {"new", {}, 2});
  EXPECT_EQ(copy[1].topic, "one");
  EXPECT_EQ(list[2].topic, "changed");
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(&copy[0], &list[1]);  // what did not change stays shared
  EXPECT_NE(copy, list);
  EXPECT_EQ(copy, SavedChatList(std::vector<oldMessagesStruct>{{"zero", {}, 0}, {"one", {}, 1}}));
  EXPECT_THROW(list.change(3, [](SavedChat&) {}), std::out_of_range);
  list.insert(99, {"last", {}, 3});  // past the end: at the end
  EXPECT_EQ(list.back().topic, "last");

  // The file's bytes, chat by chat, are those of the whole array.
  EXPECT_EQ(encodeJSON(SavedChatList{}), "[]");
  EXPECT_EQ(encodeJSON(list), encodeJSON(list.toVector()));
}

}  // namespace
}  // namespace core
