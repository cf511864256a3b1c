#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeFloatingViewPanel.h"
#include "TestPresets.h"
#include "core/AssistantSettings.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "testsupport/ScopedHome.h"

namespace core {
namespace {

class DataModelTest : public ::testing::Test {
 protected:
  std::shared_ptr<DataModel> makeModel(const std::vector<PromptData>& presets = samplePresets()) {
    // Without a presets file of an earlier model, the bundle's presets are used.
    std::filesystem::remove(home.documents() / "Quillcast" / "QuillcastPrompts.json");
    bundles.push_back(std::make_unique<TestBundle>(TestBundle::withPresets(presets)));
    auto model =
        std::make_shared<DataModel>(DataModelEnvironment{.bundle = &bundles.back()->bundle()});
    // Its presets file is written before the next model removes it.
    (void)model->documents().waitForWrites();
    return model;
  }

  testsupport::ScopedHome home;
  std::vector<std::unique_ptr<TestBundle>> bundles;
};

TEST_F(DataModelTest, StartsWithTheDocumentedValues) {
  const auto model = makeModel();
  EXPECT_EQ(model->selectedIndex, 0);
  EXPECT_EQ(model->hoverIndex, -1);
  EXPECT_EQ(model->keyHistorySelected, 0);
  EXPECT_EQ(model->keyHistoryHover, -1);
  EXPECT_EQ(model->chatWithHistory, -1);
  EXPECT_TRUE(model->didFocus);
  EXPECT_FALSE(model->isLoading || model->isContext || model->openHistory);
  EXPECT_EQ(model->FloatingViewPanel.get(), nullptr);
  EXPECT_EQ(model->eventSource.get(), nullptr);
  EXPECT_TRUE(model->filteredData->empty());
  EXPECT_FALSE(model->focusField.get());
  EXPECT_EQ(model->chatServiceBaseURL(), "https://api.openai.com");

  const auto& pieces = model->extractedTexts.get();
  ASSERT_EQ(pieces.size(), 7u);
  int bracketed = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i].id, static_cast<std::int64_t>(i));
    if (pieces[i].isBracketed) {
      ++bracketed;
      EXPECT_TRUE(pieces[i].text.starts_with("[") && pieces[i].text.ends_with("]"));
    }
  }
  EXPECT_EQ(bracketed, 3);
  EXPECT_EQ(pieces[5].text, "[desired action]");
}

TEST_F(DataModelTest, EveryStorePublishesFirstEvenOfAnEqualValue) {
  const auto model = makeModel();
  std::vector<std::string> seen;
  const auto subscription = model->subscribeWillChange([&] { seen.push_back(model->command); });
  model->command = "";
  model->command = "a";
  model->messages.modify([](std::vector<ChatMessage>& list) {
    list.push_back(ChatMessage::make("user", "1"));
    list.push_back(ChatMessage::make("user", "2"));
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"", "", "a"}));  // the old value, before the store
  EXPECT_EQ(model->messages->size(), 2u);
}

TEST_F(DataModelTest, HoldsThePanelItIsGiven) {
  const auto model = makeModel();
  auto panel = std::make_shared<FakeFloatingViewPanel>();
  model->FloatingViewPanel = panel;
  panel->ontop = true;
  model->FloatingViewPanel.get()->resignMainWindow();
  EXPECT_TRUE(model->FloatingViewPanel.get()->isOpen());
  panel->ontop = false;
  model->FloatingViewPanel.get()->resignMainWindow();
  EXPECT_FALSE(panel->isOpen());
  EXPECT_EQ(panel->resignCalls, 2);
  EXPECT_EQ(panel->savedFrames, 1);
}

TEST_F(DataModelTest, ReadsTheShellsSettings) {
  foundation::UserDefaults defaults(home.config() / "Quillcast" / "defaults.json");
  const AssistantSettings settings(defaults);
  EXPECT_EQ(settings.apiKey(), "");
  EXPECT_EQ(settings.modelName(), "gpt-3.5-turbo");
  EXPECT_FALSE(settings.useCopyHack());
  defaults.set("openapikey", "sk-test");
  defaults.set("model", "");
  defaults.set("useCopyHack", true);
  EXPECT_EQ(settings.apiKey(), "sk-test");
  EXPECT_EQ(settings.modelName(), "");  // stored but empty is not absent
  EXPECT_TRUE(settings.useCopyHack());

  const auto shipped = TestBundle::withPresets({});
  const auto model =
      std::make_shared<DataModel>(DataModelEnvironment{.chatServiceBaseURL = "http://127.0.0.1:1",
                                                       .userDefaults = &defaults,
                                                       .bundle = &shipped.bundle()});
  EXPECT_EQ(&model->userDefaults(), &defaults);
  EXPECT_EQ(model->settings().apiKey(), "sk-test");
  EXPECT_EQ(model->chatServiceBaseURL(), "http://127.0.0.1:1");
}

TEST_F(DataModelTest, FiltersListTheIndicesOfOneKindAndClearTheSelection) {
  const auto model = makeModel();
  model->selectedIndex = 2;
  model->hoverIndex = 2;
  model->filterContextPrompts();
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{1, 2, 4}));  // 1 has no kind
  EXPECT_EQ(model->selectedIndex, -1);
  EXPECT_EQ(model->hoverIndex, -1);

  model->selectedIndex = 3;
  model->filterNonContextPrompts();
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));
  EXPECT_EQ(model->selectedIndex, -1);

  model->isContext = true;
  model->refreshPromptList();
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{1, 2, 4}));
  model->isContext = false;
  model->refreshPromptList();
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));

  const auto empty = makeModel({});
  empty->filterContextPrompts();
  EXPECT_TRUE(empty->filteredData->empty());
  EXPECT_EQ(empty->selectedIndex, -1);
}

TEST_F(DataModelTest, SearchMatchesNamesOfTheCurrentKindIgnoringCase) {
  const auto model = makeModel();
  const struct {
    bool context;
    std::string text;
    std::vector<int> found;
  } cases[] = {
      {true, "TRANSLATE", {1}},
      {false, "translate", {}},             // "Brainstorm" has it only in its prompt
      {true, "strasse", {4}},               // ß upper-cases to SS
      {true, "STRASSE PRU\u0308FEN", {4}},  // a decomposed ü
      {true, "a", {1, 2, 4}},
      {false, "r", {0, 3}},
      {true, "🔍", {}},  // emoji are not searched
      {false, "zzz", {}},
  };
  for (const auto& c : cases) {
    model->isContext = c.context;
    model->selectedIndex = 1;
    model->hoverIndex = 1;
    model->searchPrompts(c.text);
    EXPECT_EQ(model->filteredData.get(), c.found) << c.text;
    EXPECT_EQ(model->selectedIndex, -1);
    EXPECT_EQ(model->hoverIndex, -1);
  }
}

TEST_F(DataModelTest, ArrowsMoveThroughTheListedPresetsWithoutWrapping) {
  const auto model = makeModel();
  model->filterContextPrompts();  // 1, 2, 4
  model->selectNext();
  EXPECT_EQ(model->selectedIndex, 1);
  model->selectNext();
  model->selectNext();
  EXPECT_EQ(model->selectedIndex, 4);
  model->selectNext();
  EXPECT_EQ(model->selectedIndex, 4);
  model->selectPrevious();
  EXPECT_EQ(model->selectedIndex, 2);
  model->selectPrevious();
  EXPECT_EQ(model->selectedIndex, 1);
  model->selectPrevious();
  EXPECT_EQ(model->selectedIndex, -1);
  model->selectPrevious();
  EXPECT_EQ(model->selectedIndex, -1);
}

TEST_F(DataModelTest, AnUnlistedSelectionCountsAsNone) {
  // At start the selection is 0 while 0 is a preset of the other kind.
  auto model = makeModel();
  model->filteredData = std::vector<int>{1, 2, 4};
  model->selectPrevious();
  EXPECT_EQ(model->selectedIndex, -1);

  model = makeModel();
  model->filteredData = std::vector<int>{1, 2, 4};
  model->selectNext();
  EXPECT_EQ(model->selectedIndex, 1);

  for (int stale : {3, 9}) {  // between listed values, or a deleted preset's index
    model->selectedIndex = stale;
    model->selectPrevious();
    EXPECT_EQ(model->selectedIndex, -1) << stale;
    model->selectedIndex = stale;
    model->selectNext();
    EXPECT_EQ(model->selectedIndex, 1) << stale;
  }

  const auto empty = makeModel({});
  empty->selectNext();
  empty->selectPrevious();
  EXPECT_EQ(empty->selectedIndex, 0);  // an empty list leaves the selection alone
}

TEST_F(DataModelTest, WithTheHistoryOpenArrowsMoveBothHighlights) {
  const auto model = makeModel();
  model->oldMessages = std::vector<oldMessagesStruct>(3, oldMessagesStruct{"t", {}, 1});
  model->openHistory = true;
  model->filterNonContextPrompts();  // 0, 3

  model->keyHistorySelected = 1;
  model->selectNext();
  EXPECT_EQ(model->keyHistorySelected, 2);
  EXPECT_EQ(model->selectedIndex, 0);
  model->selectNext();
  EXPECT_EQ(model->keyHistorySelected, 2);
  EXPECT_EQ(model->selectedIndex, 3);

  model->keyHistorySelected = 0;
  model->selectPrevious();
  EXPECT_EQ(model->keyHistorySelected, 0);
  EXPECT_EQ(model->selectedIndex, 0);

  // With no presets listed only the history highlight moves.
  model->filteredData = std::vector<int>{};
  model->selectedIndex = 3;
  model->selectNext();
  EXPECT_EQ(model->keyHistorySelected, 1);
  EXPECT_EQ(model->selectedIndex, 3);

  // A closed history list keeps its highlight.
  model->openHistory = false;
  model->selectNext();
  EXPECT_EQ(model->keyHistorySelected, 1);
}

}  // namespace
}  // namespace core
