#include <gtest/gtest.h>

#include "RecordingOpener.h"

#include <string>
#include <vector>

#include "shell/AppWindow.h"
#include "shell/PromptListEditing.h"
#include "shell/SceneRouter.h"
#include "shell/SettingsRules.h"

namespace shell {
namespace {

TEST(AppWindowTests, OpenWindowHandsTheSchemeURLToTheOpener) {
  RecordingOpener opener;
  openWindow(AppWindow::onboardingView, opener);
  openWindow(AppWindow::promptEditor, opener);
  EXPECT_EQ(opener.opened,
            (std::vector<std::string>{"quillcast://onboardingView", "quillcast://promptEditor"}));
}

TEST(SceneRouterTests, RoutesOnTheHostExactly) {
  EXPECT_EQ(sceneForURL("quillcast://onboardingView"), Scene::onboarding);
  EXPECT_EQ(sceneForURL("quillcast://promptEditor"), Scene::promptEditor);
  EXPECT_EQ(sceneForURL("quillcast://promptEditor/?x=1"), Scene::promptEditor);
  for (const char* other : {"quillcast://import?data=onboardingView", "quillcast://promptEditorX",
                            "quillcast://", "quillcast://onboardingview", "https://promptEditor",
                            "quillcast:promptEditor", "QUILLCAST://promptEditor"})
    EXPECT_FALSE(sceneForURL(other)) << other;
}

TEST(PromptListEditingTests, MoveKeepsOrderAndCountsDestinationInTheOriginalList) {
  const auto moved = [](std::vector<char> list, std::set<int> from, int to) {
    moveElements(list, from, to);
    return std::string(list.begin(), list.end());
  };
  EXPECT_EQ(moved({'a', 'b', 'c', 'd'}, {1}, 3), "acbd");
  EXPECT_EQ(moved({'a', 'b', 'c', 'd'}, {2}, 0), "cabd");
  EXPECT_EQ(moved({'a', 'b', 'c', 'd'}, {0}, 4), "bcda");
  EXPECT_EQ(moved({'a', 'b', 'c', 'd'}, {0, 2}, 4), "bdac");
  EXPECT_EQ(moved({'a', 'b', 'c', 'd'}, {1, 3}, 0), "bdac");
  EXPECT_EQ(moved({'a', 'b', 'c', 'd'}, {1}, 1), "abcd");
  EXPECT_EQ(moved({'a', 'b', 'c', 'd'}, {1}, 2), "abcd");
  EXPECT_EQ(moved({'a', 'b'}, {7}, 99), "ab");
  EXPECT_EQ(moved({}, {0}, 0), "");
}

TEST(PromptListEditingTests, VisibleRowsMapToFullPositionsAcrossTheOtherKind) {
  std::vector<core::PromptData> prompts(6);
  prompts[1].promptType = "nonContext";
  prompts[2].promptType = "foo";
  prompts[4].promptType = "nonContext";
  prompts[5].promptType = "context";
  const auto context = tabPositions(prompts, false);
  EXPECT_EQ(context, (std::vector<int>{0, 2, 3, 5}));
  EXPECT_EQ(tabPositions(prompts, true), (std::vector<int>{1, 4}));
  const auto beforeSecond = fullMove(context, {2}, 1);
  EXPECT_EQ(beforeSecond.offsets, (std::set<int>{3}));
  EXPECT_EQ(beforeSecond.destination, 2);
  const auto toEnd = fullMove(context, {0}, 4);
  EXPECT_EQ(toEnd.destination, 6);
  EXPECT_TRUE(fullMove({}, {0}, 0).offsets.empty());
}

TEST(PromptListEditingTests, NewPresetsCarryTheTabDefaults) {
  const auto context = newPreset(false);
  EXPECT_EQ(context.emoji, "😀");
  EXPECT_EQ(context.name, "New Prompt");
  EXPECT_EQ(context.prompt, "{selected text}");
  EXPECT_FALSE(context.systemPrompt);
  EXPECT_EQ(context.promptType, "context");
  const auto nonContext = newPreset(true);
  EXPECT_EQ(nonContext.prompt, "Hi!");
  EXPECT_EQ(nonContext.systemPrompt, "You're a helpful assistant!");
  EXPECT_EQ(nonContext.promptType, "nonContext");
  EXPECT_NE(newPreset(true).id, nonContext.id);
}

TEST(SettingsRulesTests, PickerEntriesWarningAndVersion) {
  EXPECT_EQ(modelPickerEntries(""), (std::vector<std::string>{"gpt-3.5-turbo"}));
  EXPECT_EQ(modelPickerEntries("sk-1"),
            (std::vector<std::string>{"gpt-3.5-turbo", "gpt-3.5-turbo-16k", "gpt-4", "gpt-4-32k"}));
  EXPECT_TRUE(showsGPT4Warning("gpt-4"));
  EXPECT_TRUE(showsGPT4Warning("gpt-4-32k"));
  EXPECT_FALSE(showsGPT4Warning("gpt-3.5-turbo-16k"));
  EXPECT_EQ(appVersionString("1.2", "34"), "1.2 build 34");
}

}  // namespace
}  // namespace shell
