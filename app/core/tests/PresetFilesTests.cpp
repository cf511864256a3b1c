#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestPresets.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "core/PromptModel.h"
#include "foundation/DispatchQueue.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ScopedHome.h"

namespace core {
namespace {

using testsupport::readFile;
using testsupport::writeFile;
namespace fs = std::filesystem;

// Files beside `file` that were moved aside from it.
std::vector<fs::path> corruptCopies(const fs::path& file) {
  std::vector<fs::path> copies;
  for (const auto& entry : fs::directory_iterator(file.parent_path())) {
    if (entry.path().filename().string().starts_with(file.filename().string() + ".corrupt-")) {
      copies.push_back(entry.path());
    }
  }
  return copies;
}

class PresetFilesTest : public ::testing::Test {
 protected:
  fs::path folder() const { return home.documents() / "Quillcast"; }
  fs::path presetsFile() const { return folder() / "QuillcastPrompts.json"; }
  fs::path historyFile() const { return folder() / "QuillcastHistory.json"; }

  testsupport::ScopedHome home;
  TestBundle shipped = TestBundle::withPresets(samplePresets());
};

TEST_F(PresetFilesTest, FirstLaunchUsesTheDefaultsAndCreatesTheFolderQuietly) {
  ASSERT_FALSE(fs::exists(folder()));
  testing::internal::CaptureStdout();
  DataModel model({.bundle = &shipped.bundle()});
  ASSERT_TRUE(model.documents().waitForWrites());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "error reading data file:QuillcastPrompts.json :No such file or directory\n"
            "error reading data file:QuillcastHistory.json :No such file or directory\n");
  EXPECT_EQ(model.prompts(), samplePresets());
  EXPECT_TRUE(model.oldMessages->empty());
  EXPECT_EQ(readFile(presetsFile()), encodeJSON(samplePresets()));
  EXPECT_FALSE(fs::exists(historyFile()));

  // Every later write says that the folder is there, even an unchanged one.
  testing::internal::CaptureStdout();
  model.PromptM.get()->prompts = model.prompts();
  ASSERT_TRUE(model.documents().waitForWrites());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Saved to JSON\nAlready dictionary created.\n");
}

TEST_F(PresetFilesTest, TheUsersListWinsEvenWhenEmpty) {
  writeFile(presetsFile(), "[]");
  testing::internal::CaptureStdout();
  DataModel model({.bundle = &shipped.bundle()});
  ASSERT_TRUE(model.documents().waitForWrites());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "error reading data file:QuillcastHistory.json :No such file or directory\n"
            "Already dictionary created.\n");
  EXPECT_TRUE(model.prompts().empty());
  EXPECT_EQ(readFile(presetsFile()), "[]");

  const PromptData bare{std::nullopt, "🙂", "Bare", "Say hi", {}, {}, {}};
  writeFile(presetsFile(), R"([{"emoji":"🙂","name":"Bare","prompt":"Say hi","id":null,"x":1}])");
  DataModel again({.bundle = &shipped.bundle()});
  ASSERT_TRUE(again.documents().waitForWrites());
  EXPECT_EQ(again.prompts(), std::vector<PromptData>{bare});
  EXPECT_EQ(readFile(presetsFile()), R"([{"emoji":"🙂","name":"Bare","prompt":"Say hi"}])");
}

TEST_F(PresetFilesTest, AnUndecodablePresetsFileIsMovedAsideNotOverwritten) {
  const std::string broken = R"([{"emoji":"🙂","name":"No prompt"}])";
  writeFile(presetsFile(), broken);
  testing::internal::CaptureStdout();
  DataModel model({.bundle = &shipped.bundle()});
  ASSERT_TRUE(model.documents().waitForWrites());
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(output.starts_with(
      "error reading data file:QuillcastPrompts.json :No value for the key \"prompt\" at [0]\n"
      "Moved the unreadable QuillcastPrompts.json aside to "))
      << output;

  EXPECT_EQ(model.prompts(), samplePresets());
  EXPECT_EQ(readFile(presetsFile()), encodeJSON(samplePresets()));
  const auto copies = corruptCopies(presetsFile());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(readFile(copies[0]), broken);

  // A second broken file does not replace the first copy.
  writeFile(presetsFile(), "{half a file");
  DataModel again({.bundle = &shipped.bundle()});
  EXPECT_EQ(corruptCopies(presetsFile()).size(), 2u);
  EXPECT_EQ(readFile(copies[0]), broken);
}

TEST_F(PresetFilesTest, AnUnreadableHistoryIsMovedAsideAndTheModelStartsEmpty) {
  fs::create_directories(historyFile());  // reading a folder fails
  testing::internal::CaptureStdout();
  DataModel model({.bundle = &shipped.bundle()});
  EXPECT_TRUE(model.finishLoadingHistory());
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(
      output.find("error reading data file:QuillcastHistory.json :it is not a regular file\n"),
      std::string::npos)
      << output;
  EXPECT_TRUE(model.oldMessages->empty());
  EXPECT_FALSE(fs::exists(historyFile()));
  EXPECT_EQ(corruptCopies(historyFile()).size(), 1u);
}

TEST_F(PresetFilesTest, AReadableHistoryIsLoaded) {
  writeFile(
      historyFile(),
      R"([{"topic":"🧪 Test topic","message":[{"role":"user","content":"q"}],"created":1.5},)"
      R"({"topic":"Older","message":[],"created":1}])");
  DataModel model({.bundle = &shipped.bundle()});
  // Read off the main thread: the chats come in through the main queue, and the list's
  // observers hear of them.
  EXPECT_FALSE(model.historyLoaded());
  EXPECT_TRUE(model.oldMessages->empty());
  int announced = 0;
  const auto subscription = model.subscribeWillChange([&] { ++announced; });
  bool toldLoaded = false;
  model.whenHistoryLoaded([&] { toldLoaded = true; });
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return model.historyLoaded(); },
                                                std::chrono::seconds(10)));
  EXPECT_TRUE(toldLoaded);
  EXPECT_GE(announced, 1);
  ASSERT_EQ(model.oldMessages->size(), 2u);
  EXPECT_EQ(model.oldMessages->at(0).topic, "🧪 Test topic");
  EXPECT_EQ(model.oldMessages->at(0).message().at(0).content, "q");
  EXPECT_EQ(model.oldMessages->at(1).created, 1.0);
}

TEST_F(PresetFilesTest, EveryChangeSavesAndAFailedWriteKeepsTheChangeInMemory) {
  DataModel model({.bundle = &shipped.bundle()});
  ASSERT_TRUE(model.documents().waitForWrites());
  auto& store = *model.PromptM.get();
  int announcements = 0;
  const auto subscription = store.subscribeWillChange([&] { ++announcements; });

  testing::internal::CaptureStdout();
  store.prompts.modify([](std::vector<PromptData>& list) { list.pop_back(); });
  ASSERT_TRUE(model.documents().waitForWrites());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Saved to JSON\nAlready dictionary created.\n");
  EXPECT_EQ(announcements, 1);
  EXPECT_EQ(decodeJSON<std::vector<PromptData>>(readFile(presetsFile())).size(), 4u);

  // Rewritten private, whatever it was.
  fs::permissions(presetsFile(), fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::others_read);
  store.prompts = {};
  ASSERT_TRUE(model.documents().waitForWrites());
  EXPECT_EQ(readFile(presetsFile()), "[]");
  EXPECT_EQ(fs::status(presetsFile()).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write);

  // A folder where the file belongs makes every write fail, even for root.
  fs::remove(presetsFile());
  fs::create_directories(presetsFile() / "blocker");
  testing::internal::CaptureStdout();
  store.prompts = samplePresets();
  EXPECT_FALSE(model.documents().waitForWrites());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Saved to JSON\nAlready dictionary created.\nerror writing data\n");
  EXPECT_EQ(store.prompts.get(), samplePresets());
}

TEST_F(PresetFilesTest, AMissingDocumentsFolderIsCreatedOnWrite) {
  fs::remove_all(home.documents());
  saveJSONToDocuments(std::vector<PromptData>{}, "QuillcastPrompts.json");
  EXPECT_EQ(readFile(presetsFile()), "[]");
  EXPECT_EQ(readJSONFromDocuments<PromptData>("QuillcastPrompts.json"), std::vector<PromptData>{});
}

TEST(ShippedPresetsTest, TheEmbeddedDefaultsDecodeAndHoldBothKinds) {
  const auto presets = PromptModel::bundledPrompts(Bundle({}, true));
  ASSERT_GE(presets.size(), 6u);
  int context = 0, nonContext = 0;
  for (const auto& preset : presets) {
    EXPECT_FALSE(preset.name.empty());
    ASSERT_TRUE(preset.promptType);
    if (preset.kind() == "context") {
      ++context;
      EXPECT_NE(preset.prompt.find("{selected text}"), std::string::npos) << preset.name;
    } else {
      ASSERT_EQ(preset.kind(), "nonContext");
      ++nonContext;
      EXPECT_NE(preset.prompt.find('['), std::string::npos) << preset.name;
    }
  }
  EXPECT_GT(context, 0);
  EXPECT_GT(nonContext, 0);
  // The test binary has no copy beside it, so the main bundle serves the compiled-in one.
  EXPECT_EQ(PromptModel::bundledPrompts(), presets);
}

TEST(ShippedPresetsDeathTest, AMissingOrBrokenResourceStopsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testsupport::ScopedHome home;
  EXPECT_DEATH(PromptModel(Bundle({}, false)), "Couldn't find prompt.json in main bundle\\.");
  TestBundle broken("[{\"name\":1}]");
  EXPECT_DEATH(PromptModel(broken.bundle()), "Couldn't parse prompt.json from main bundle:");
  TestBundle unreadable("");
  fs::remove(unreadable.folder() / "prompt.json");
  fs::create_directories(unreadable.folder() / "prompt.json");
  EXPECT_DEATH(PromptModel(unreadable.bundle()),
               "Couldn't load prompt.json from main bundle:\nit is not a regular file");
  // Even a good user file does not save a broken resource.
  writeFile(home.documents() / "Quillcast" / "QuillcastPrompts.json", "[]");
  EXPECT_DEATH(PromptModel(broken.bundle()), "Couldn't parse prompt.json");
}

}  // namespace
}  // namespace core
