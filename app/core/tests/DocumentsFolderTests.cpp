#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "TestPresets.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/ScopedPermissionChecks.h"

namespace core {
namespace {

using testsupport::readFile;
using testsupport::writeFile;
namespace fs = std::filesystem;

mode_t modeOf(const fs::path& path) {
  struct stat status {};
  ::lstat(path.c_str(), &status);
  return status.st_mode & 07777;
}

std::vector<ChatMessage> answeredChat(const std::string& question) {
  return {ChatMessage::make("user", question), ChatMessage::make("assistant", "answer")};
}

class DocumentsFolderTest : public ::testing::Test {
 protected:
  fs::path folder() const { return home.documents() / "Quillcast"; }
  fs::path presetsFile() const { return folder() / "QuillcastPrompts.json"; }
  fs::path historyFile() const { return folder() / "QuillcastHistory.json"; }
  std::unique_ptr<DataModel> start() {
    return std::make_unique<DataModel>(DataModelEnvironment{.bundle = &shipped.bundle()});
  }

  testsupport::ScopedHome home;
  TestBundle shipped = TestBundle::withPresets(samplePresets());
};

TEST_F(DocumentsFolderTest, AReadOnlyFolderIsToldOncePerStreakAndNothingIsLostWhenItRecovers) {
  // Before the model, so that its writer is held to the permissions too.
  testsupport::ScopedPermissionChecks checked;
  ASSERT_TRUE(checked.binding());
  auto model = start();
  std::vector<SaveFailure> told;
  model->documents().onSaveFailure([&](const SaveFailure& failure) { told.push_back(failure); });
  ASSERT_TRUE(model->documents().waitForWrites());
  ::chmod(folder().c_str(), 0500);

  model->saveHistoryWithDateTitle(answeredChat("first"), -1);
  model->PromptM.get()->prompts = {};
  model->saveHistoryWithDateTitle(answeredChat("second"), -1);
  EXPECT_FALSE(model->documents().waitForWrites());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].file, historyFile());
  EXPECT_EQ(told[0].reason, std::make_error_code(std::errc::permission_denied).message());
  EXPECT_TRUE(model->documents().hasUnsavedFiles());
  EXPECT_EQ(model->oldMessages->size(), 2u);
  EXPECT_FALSE(fs::exists(historyFile()));

  // Writable again: the next save of either file writes both.
  ::chmod(folder().c_str(), 0700);
  model->PromptM.get()->prompts = samplePresets();
  EXPECT_TRUE(model->documents().waitForWrites());
  EXPECT_FALSE(model->documents().hasUnsavedFiles());
  EXPECT_EQ(decodeJSON<std::vector<oldMessagesStruct>>(readFile(historyFile())).size(), 2u);
  EXPECT_EQ(decodeJSON<std::vector<PromptData>>(readFile(presetsFile())), samplePresets());

  // A later failure is a new streak, told again.
  ::chmod(folder().c_str(), 0500);
  model->saveHistoryWithDateTitle(answeredChat("third"), -1);
  EXPECT_FALSE(model->documents().waitForWrites());
  ASSERT_EQ(told.size(), 2u);
}

TEST_F(DocumentsFolderTest, AStreakThatBeganBeforeAnyoneListenedIsToldOnListening) {
  fs::create_directories(folder());
  testsupport::ScopedPermissionChecks checked;
  ::chmod(folder().c_str(), 0500);
  auto model = start();  // its write of the presets fails
  EXPECT_FALSE(model->documents().waitForWrites());
  std::vector<SaveFailure> told;
  model->documents().onSaveFailure([&](const SaveFailure& failure) { told.push_back(failure); });
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].file, presetsFile());
}

TEST_F(DocumentsFolderTest, AFullDiskKeepsTheOldFileAndTheChatInMemory) {
  auto model = start();
  model->saveHistoryWithDateTitle(answeredChat("kept"), -1);
  ASSERT_TRUE(model->documents().waitForWrites());
  const std::string before = readFile(historyFile());
  int told = 0;
  model->documents().onSaveFailure([&](const SaveFailure&) { ++told; });

  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = before.size() + 8;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  model->saveHistoryWithDateTitle(answeredChat("a question far too long for the disk"), -1);
  model->saveHistoryWithDateTitle(answeredChat("and another"), -1);
  EXPECT_FALSE(model->documents().waitForWrites());
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(told, 1);
  EXPECT_EQ(readFile(historyFile()), before);
  EXPECT_EQ(model->oldMessages->size(), 3u);
  EXPECT_TRUE(model->saveBeforeQuit());
  EXPECT_EQ(decodeJSON<std::vector<oldMessagesStruct>>(readFile(historyFile())).size(), 3u);
}

TEST_F(DocumentsFolderTest, TheFolderAndItsFilesAreCreatedPrivate) {
  fs::remove_all(home.documents());
  auto model = start();
  model->saveHistoryWithDateTitle(answeredChat("private"), -1);
  ASSERT_TRUE(model->documents().waitForWrites());
  EXPECT_EQ(modeOf(folder()), 0700u);
  EXPECT_EQ(modeOf(presetsFile()), 0600u);
  EXPECT_EQ(modeOf(historyFile()), 0600u);
}

TEST_F(DocumentsFolderTest, FilesLeftOpenByAnEarlierVersionAreMadePrivateAtStart) {
  writeFile(historyFile(), "[]");
  writeFile(presetsFile(), encodeJSON(samplePresets()));
  const fs::path oldCopy = folder() / "QuillcastHistory.json.corrupt-20240101-120000";
  writeFile(oldCopy, "[{");
  for (const auto& file : {historyFile(), presetsFile(), oldCopy}) ::chmod(file.c_str(), 0644);
  ::chmod(folder().c_str(), 0755);

  start();
  EXPECT_EQ(modeOf(historyFile()), 0600u);  // before any write of it
  EXPECT_EQ(modeOf(presetsFile()), 0600u);
  EXPECT_EQ(modeOf(oldCopy), 0600u);
  EXPECT_EQ(modeOf(folder()), 0700u);
}

TEST_F(DocumentsFolderTest, AFolderThatAlsoHoldsTheUsersOwnFilesKeepsItsPermissions) {
  writeFile(historyFile(), "[]");
  writeFile(folder() / "notes.txt", "mine");
  ::chmod(historyFile().c_str(), 0644);
  ::chmod((folder() / "notes.txt").c_str(), 0644);
  ::chmod(folder().c_str(), 0755);
  start();
  EXPECT_EQ(modeOf(historyFile()), 0600u);
  EXPECT_EQ(modeOf(folder() / "notes.txt"), 0644u);
  EXPECT_EQ(modeOf(folder()), 0755u);
}

TEST_F(DocumentsFolderTest, ATemporaryLeftByAKillDuringASaveIsRemovedAtTheNextStart) {
  fs::create_directories(folder());
  const std::string big(64 << 20, 'x');
  ::fflush(nullptr);
  const pid_t saver = ::fork();
  ASSERT_GE(saver, 0);
  if (saver == 0) {
    for (;;) (void)foundation::files::writeAtomically(presetsFile(), big);
  }
  // Killed while a save is under way.
  fs::path left;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (left.empty() && std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : fs::directory_iterator(folder()))
      if (foundation::files::isTemporaryOf(presetsFile(), entry.path().filename().string()))
        left = entry.path();
  }
  ::kill(saver, SIGKILL);
  ::waitpid(saver, nullptr, 0);
  ASSERT_FALSE(left.empty()) << "the save never began";
  for (const auto& entry : fs::directory_iterator(folder()))
    if (entry.path() != left && entry.path() != presetsFile()) fs::remove(entry.path());
  ASSERT_TRUE(fs::exists(left));

  // Started at once, another instance might still be writing it: it stays.
  start();
  ASSERT_TRUE(fs::exists(left));
  // A minute on, it is stale.
  fs::last_write_time(left, fs::file_time_type::clock::now() - std::chrono::minutes(2));
  start();
  EXPECT_FALSE(fs::exists(left));
  for (const auto& entry : fs::directory_iterator(folder()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(DocumentsFolderTest, UnreadableFilesAreReportedWithWhereTheirCopiesWent) {
  writeFile(historyFile(), "[{\"topic\":");
  writeFile(presetsFile(), "{}");
  auto model = start();
  ASSERT_TRUE(model->finishLoadingHistory());
  const auto& unreadable = model->documents().unreadableFiles();
  ASSERT_EQ(unreadable.size(), 2u);
  EXPECT_EQ(unreadable[0].file, presetsFile());
  EXPECT_EQ(unreadable[1].file, historyFile());
  for (const auto& file : unreadable) {
    ASSERT_TRUE(file.copy);
    EXPECT_TRUE(
        file.copy->filename().string().starts_with(file.file.filename().string() + ".corrupt-"));
    EXPECT_FALSE(file.reason.empty());
  }
  EXPECT_EQ(readFile(*unreadable[0].copy), "{}");
  EXPECT_EQ(readFile(*unreadable[1].copy), "[{\"topic\":");
  // A sound start reports nothing.
  model = start();
  ASSERT_TRUE(model->finishLoadingHistory());
  EXPECT_TRUE(model->documents().unreadableFiles().empty());
}

TEST_F(DocumentsFolderTest, AFileThatCouldNeitherBeReadNorMovedAsideIsNeverWrittenOver) {
  writeFile(presetsFile(), "[{\"emoji\": ");
  testsupport::ScopedPermissionChecks checked;
  ASSERT_TRUE(checked.binding());
  ::chmod(folder().c_str(), 0500);
  auto model = start();
  ASSERT_EQ(model->documents().unreadableFiles().size(), 1u);
  EXPECT_EQ(model->documents().unreadableFiles()[0].copy, std::nullopt);

  // The folder can be written again; the file still may not be replaced in this run.
  ::chmod(folder().c_str(), 0700);
  model->PromptM.get()->prompts = {};
  model->saveHistoryWithDateTitle(answeredChat("still saved"), -1);
  // The presets were not written: the way out must not report everything as saved.
  EXPECT_FALSE(model->documents().waitForWrites());
  EXPECT_TRUE(model->documents().hasUnsavedFiles());
  EXPECT_EQ(readFile(presetsFile()), "[{\"emoji\": ");
  EXPECT_TRUE(fs::exists(historyFile()));
}

TEST_F(DocumentsFolderTest, AFifoOrALinkToAnEndlessDeviceIsMovedAsideAtStartWithoutBlocking) {
  fs::create_directories(folder());
  // Nothing ever writes into the FIFO: a blocking read would hold the start for good.
  ASSERT_EQ(::mkfifo(presetsFile().c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", historyFile());
  auto model = start();
  ASSERT_TRUE(model->finishLoadingHistory());
  const auto& unreadable = model->documents().unreadableFiles();
  ASSERT_EQ(unreadable.size(), 2u);
  for (const auto& file : unreadable) {
    EXPECT_EQ(file.reason, "it is not a regular file");
    ASSERT_TRUE(file.copy);
  }
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(*unreadable[0].copy)));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(*unreadable[1].copy)));
  EXPECT_EQ(model->PromptM.get()->prompts.get(), samplePresets());

  model->saveHistoryWithDateTitle(answeredChat("kept"), -1);
  ASSERT_TRUE(model->documents().waitForWrites());
  for (const auto& file : {presetsFile(), historyFile()})
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << file;
  EXPECT_EQ(decodeJSON<std::vector<oldMessagesStruct>>(readFile(historyFile())).size(), 1u);
}

TEST_F(DocumentsFolderTest, AHistoryLargerThanTheLimitIsMovedAsideUnread) {
  fs::create_directories(folder());
  writeFile(historyFile(), "[");
  // Sparse: as large as it says without taking the disk.
  fs::resize_file(historyFile(), kHistoryReadLimit + 1);
  auto model = start();
  ASSERT_TRUE(model->finishLoadingHistory());
  const auto& unreadable = model->documents().unreadableFiles();
  ASSERT_EQ(unreadable.size(), 1u);
  EXPECT_EQ(unreadable[0].reason, "it is too large");
  ASSERT_TRUE(unreadable[0].copy);
  EXPECT_EQ(fs::file_size(*unreadable[0].copy), kHistoryReadLimit + 1);
  EXPECT_TRUE(model->oldMessages->empty());
}

}  // namespace
}  // namespace core
