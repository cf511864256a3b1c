#include <gtest/gtest.h>

#include "RecordingOpener.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "FakeWidgetFactory.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "foundation/Files.h"
#include "shell/PromptEditorView.h"
#include "testsupport/ScopedHome.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/ViewHost.h"

namespace shell {
namespace {

using panel::testing::FakeWidgetFactory;

core::PromptData preset(std::string emoji, std::string name, std::optional<std::string> kind,
                        std::optional<std::string> systemPrompt = std::nullopt) {
  core::PromptData p;
  p.id = name;
  p.emoji = std::move(emoji);
  p.name = std::move(name);
  p.prompt = "Do it";
  p.promptType = std::move(kind);
  p.systemPrompt = std::move(systemPrompt);
  return p;
}

// Context presets at 1, 2 (no kind) and 4 (an unknown kind); non-context ones at 0 and 3.
std::vector<core::PromptData> samplePresets() {
  return {preset("📧", "Email", "nonContext", "Be brief."), preset("📝", "Summarize", "context"),
          preset("🌐", "Translate", std::nullopt), preset("💭", "Brainstorm", "nonContext"),
          preset("🔤", "Spell", "foo")};
}

class PromptEditorViewTests : public ::testing::Test {
 protected:
  void open(std::vector<core::PromptData> presets) {
    model->PromptM.get()->prompts.set(std::move(presets));
    host = std::make_unique<ui::ViewHost>(PromptEditorView(model, &opener),
                                          std::make_shared<ui::FakeTextMeasurer>());
    host->setWidgetFactory(widgets);
    host->setProposal({900.0, 620.0});
    host->update();
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& p : model->prompts()) out.push_back(p.name);
    return out;
  }
  bool shows(std::string_view id) const { return host->frameOf(id).has_value(); }
  void click(std::string_view id) {
    host->update();
    const auto frame = host->frameOf(id);
    ASSERT_TRUE(frame) << id;
    const auto event = ui::PointerEvent::at({frame->midX(), frame->midY()});
    host->pointerPressed(event);
    host->pointerReleased(event);
    host->update();
  }
  int rowCount() const {
    int rows = 0;
    while (shows("promptEditor.row." + std::to_string(rows))) ++rows;
    return rows;
  }
  ui::Binding<std::string> field(const std::string& id) const {
    auto* text = widgets->description<ui::TextFieldWidget>(id);
    if (text) return text->text;
    auto* editor = widgets->description<ui::TextEditorWidget>(id);
    if (editor) return editor->text;
    ADD_FAILURE() << "no widget " << id;
    return ui::Binding<std::string>::constant({});
  }
  bool hasForm() const { return widgets->find("editor.name") != nullptr; }
  std::string formName() const { return field("editor.name").get(); }
  void type(const std::string& id, const std::string& text) {
    field(id).set(text);
    host->update();
  }
  std::string savedFile() const {
    EXPECT_TRUE(model->documents().waitForWrites());
    std::ifstream in(*foundation::files::documentsDirectory() / core::kDocumentsFolderName /
                     core::kPromptsFileName);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  testsupport::ScopedHome home;
  std::shared_ptr<core::DataModel> model = std::make_shared<core::DataModel>();
  RecordingOpener opener;
  std::shared_ptr<FakeWidgetFactory> widgets = std::make_shared<FakeWidgetFactory>();
  std::unique_ptr<ui::ViewHost> host;
};

TEST_F(PromptEditorViewTests, ListedNamesStartAtOneEdgeWhateverTheirIcons) {
  // A keyboard with its presentation selector is two characters, a flag two, the rest one.
  open({preset("\u2328\uFE0F", "Typed", "context"), preset("📝", "Summarize", "context"),
        preset("\U0001F1EC\U0001F1E7", "British", "context")});
  const double edge = host->frameOf("promptEditor.name.0").value().x;
  for (int row = 0; row < 3; ++row) {
    const std::string n = std::to_string(row);
    EXPECT_DOUBLE_EQ(host->frameOf("promptEditor.name." + n).value().x, edge) << row;
    EXPECT_LE(host->frameOf("promptEditor.icon." + n).value().maxX(), edge) << row;
  }
}

TEST_F(PromptEditorViewTests, TabsListPresetsByKindAndTheFormStartsAtTheFirstPreset) {
  open(samplePresets());
  EXPECT_EQ(formName(), "Email");  // position 0 although the Context tab is in front
  EXPECT_EQ(rowCount(), 3);
  click("promptEditor.row.2");
  EXPECT_EQ(formName(), "Spell");
  click("promptEditor.tab.Non-context");
  EXPECT_EQ(rowCount(), 2);
  click("promptEditor.row.1");
  EXPECT_EQ(formName(), "Brainstorm");
  EXPECT_FALSE(shows("editor.addSelectedText"));
  click("promptEditor.tab.Context");
  EXPECT_EQ(rowCount(), 3);
  // A preset imported while the window is open is listed at once.
  model->PromptM.get()->prompts.modify(
      [](std::vector<core::PromptData>& list) { list.push_back(preset("🧪", "Imported", {})); });
  host->update();
  EXPECT_EQ(rowCount(), 4);
}

TEST_F(PromptEditorViewTests, AddAppendsTheTabsDefaultsAndRefreshesThePanelsList) {
  open(samplePresets());
  model->isContext = true;
  click("promptEditor.add");
  click("promptEditor.tab.Non-context");
  click("promptEditor.add");
  ASSERT_EQ(model->prompts().size(), 7u);
  const auto& context = model->prompts()[5];
  const auto& nonContext = model->prompts()[6];
  EXPECT_EQ(context.emoji, "😀");
  EXPECT_EQ(context.name, "New Prompt");
  EXPECT_EQ(context.prompt, "{selected text}");
  EXPECT_FALSE(context.systemPrompt);
  EXPECT_EQ(context.promptType, "context");
  EXPECT_EQ(nonContext.name, "New Prompt");
  EXPECT_EQ(nonContext.prompt, "Hi!");
  EXPECT_EQ(nonContext.systemPrompt, "You're a helpful assistant!");
  EXPECT_EQ(nonContext.promptType, "nonContext");
  ASSERT_TRUE(context.id && nonContext.id);
  EXPECT_NE(*context.id, *nonContext.id);
  // The panel's context list holds the new preset at once.
  const auto& listed = model->filteredData.get();
  EXPECT_EQ(listed.back(), 5);
  EXPECT_EQ(listed.front(), 1);
  EXPECT_EQ(rowCount(), 3);
  EXPECT_EQ(formName(), "Email");  // a new preset is listed, not opened
}

TEST_F(PromptEditorViewTests, MovingARowReordersFullPositionsAndRefreshesThePanelsList) {
  open(samplePresets());
  model->isContext = false;
  click("promptEditor.row.1");  // Translate, at 2
  click("promptEditor.moveDown");
  EXPECT_EQ(names(),
            (std::vector<std::string>{"Email", "Summarize", "Brainstorm", "Spell", "Translate"}));
  EXPECT_EQ(formName(), "Translate");  // the form and the highlight follow the preset
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 2}));

  host->focus("promptEditor.list");
  EXPECT_TRUE(host->keyPressed(ui::KeyEvent::of(ui::Key::up, {.alt = true})));
  host->update();
  EXPECT_TRUE(host->keyPressed(ui::KeyEvent::of(ui::Key::up, {.alt = true})));
  host->update();
  EXPECT_EQ(names(),
            (std::vector<std::string>{"Email", "Translate", "Summarize", "Brainstorm", "Spell"}));
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));
  // The first row goes no higher.
  host->keyPressed(ui::KeyEvent::of(ui::Key::up, {.alt = true}));
  host->update();
  EXPECT_EQ(names()[1], "Translate");
  EXPECT_EQ(formName(), "Translate");
  // Down alone chooses the next row of the tab, skipping the other kind.
  EXPECT_TRUE(host->keyPressed(ui::KeyEvent::of(ui::Key::down)));
  host->update();
  EXPECT_EQ(formName(), "Summarize");
  host->keyPressed(ui::KeyEvent::of(ui::Key::down));
  host->update();
  EXPECT_EQ(formName(), "Spell");
  EXPECT_EQ(names()[1], "Translate");
}

TEST_F(PromptEditorViewTests, DraggingARowMovesItsPresetAndRefreshesThePanelsList) {
  open(samplePresets());
  model->isContext = true;
  click("promptEditor.row.0");  // Summarize
  model->selectedIndex = 2;
  auto drag = [&](std::string_view row, ui::Point to) {
    const auto frame = host->frameOf(row);
    ASSERT_TRUE(frame) << row;
    const ui::Point from{frame->midX(), frame->midY()};
    host->pointerPressed(ui::PointerEvent::at(from));
    host->pointerMoved(ui::PointerEvent::at({from.x, (from.y + to.y) / 2}));
    host->update();
    host->pointerMoved(ui::PointerEvent::at(to));
    host->update();
    host->pointerReleased(ui::PointerEvent::at(to));
    host->update();
  };
  const auto top = host->frameOf("promptEditor.row.0").value();
  // Spell (full position 4) dragged above the tab's first row lands before Summarize (1).
  drag("promptEditor.row.2", {top.midX(), top.y + 2});
  EXPECT_EQ(names(),
            (std::vector<std::string>{"Email", "Spell", "Summarize", "Translate", "Brainstorm"}));
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{2, 3}));  // the panel skips "foo"
  EXPECT_EQ(model->selectedIndex.get(), -1);
  EXPECT_EQ(formName(), "Summarize");  // the form follows its preset, not the row
  EXPECT_LT(savedFile().find("Spell"), savedFile().find("Summarize"));

  // Dropped on "+ Add" a row goes nowhere, and nothing is added.
  const auto add = host->frameOf("promptEditor.add").value();
  drag("promptEditor.row.0", {add.midX(), add.midY()});
  EXPECT_EQ(model->prompts().size(), 5u);
  EXPECT_EQ(names()[1], "Spell");

  // In the other tab the rows map to their own full positions: Brainstorm (4) before Email (0).
  click("promptEditor.tab.Non-context");
  const auto first = host->frameOf("promptEditor.row.0").value();
  drag("promptEditor.row.1", {first.midX(), first.y + 2});
  EXPECT_EQ(names(),
            (std::vector<std::string>{"Brainstorm", "Email", "Spell", "Summarize", "Translate"}));
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{3, 4}));
}

TEST_F(PromptEditorViewTests, DeleteShowsTheNearestPresetOfItsTabAndNeverRemovesTheLast) {
  open(samplePresets());
  click("promptEditor.tab.Non-context");
  click("promptEditor.row.1");  // Brainstorm, at 3
  click("editor.delete");
  EXPECT_EQ(names(), (std::vector<std::string>{"Email", "Summarize", "Translate", "Spell"}));
  // Not Translate, at 2, which this tab does not list: the next Delete would remove it unseen.
  EXPECT_EQ(formName(), "Email");
  EXPECT_EQ(rowCount(), 1);
  EXPECT_TRUE(shows("promptEditor.moveUp"));  // on the row now chosen

  // The tab's last one gone, the tab is empty and the form shows nothing to delete.
  click("editor.delete");
  EXPECT_EQ(names(), (std::vector<std::string>{"Summarize", "Translate", "Spell"}));
  EXPECT_FALSE(hasForm());
  EXPECT_EQ(rowCount(), 0);
  EXPECT_FALSE(shows("promptEditor.moveUp"));

  // With nothing of its tab above, the one below.
  open(samplePresets());
  click("promptEditor.row.0");  // Summarize, at 1; Email above is of the other tab
  click("editor.delete");
  EXPECT_EQ(formName(), "Translate");
  click("promptEditor.row.1");  // Spell, at 3
  click("editor.delete");
  EXPECT_EQ(formName(), "Translate");
  EXPECT_EQ(names(), (std::vector<std::string>{"Email", "Translate", "Brainstorm"}));

  model->isContext = true;
  open({preset("📝", "Only", "context")});
  click("editor.delete");
  EXPECT_EQ(names(), (std::vector<std::string>{"Only"}));
  EXPECT_EQ(formName(), "Only");
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0}));
}

TEST(PositionAfterDeleteTests, TheNearestOfTheTabsKindAboveFirst) {
  std::vector<core::PromptData> presets(4);
  presets[0].promptType = "nonContext";
  presets[2].promptType = "nonContext";
  // Positions after the removal of the preset that stood at `removed`.
  EXPECT_EQ(positionAfterDelete(presets, 2, false), 1);
  EXPECT_EQ(positionAfterDelete(presets, 0, false), 1);
  EXPECT_EQ(positionAfterDelete(presets, 1, true), 0);
  EXPECT_EQ(positionAfterDelete(presets, 0, true), 0);
  presets.erase(presets.begin(), presets.begin() + 1);
  presets[1].promptType.reset();
  EXPECT_EQ(positionAfterDelete(presets, 1, true), std::nullopt);
}

TEST_F(PromptEditorViewTests, FallbacksAreShownButStoredOnlyOnceEdited) {
  open(samplePresets());
  click("promptEditor.row.1");  // Translate: no system prompt, no kind
  EXPECT_EQ(field("editor.systemPrompt").get(), "You are a helpful assistant.");
  EXPECT_TRUE(shows("editor.addSelectedText"));
  type("editor.name", "Translate!");
  EXPECT_EQ(model->prompts()[2].name, "Translate!");
  const std::string saved = savedFile();
  ASSERT_NE(saved.find("Translate!"), std::string::npos);
  EXPECT_FALSE(model->prompts()[2].systemPrompt);
  EXPECT_FALSE(model->prompts()[2].promptType);
  click("editor.kind.Context");  // already shown as chosen: nothing to store
  EXPECT_FALSE(model->prompts()[2].promptType);
  type("editor.systemPrompt", "Be exact.");
  EXPECT_EQ(model->prompts()[2].systemPrompt, "Be exact.");

  click("editor.addSelectedText");
  click("editor.addSelectedText");
  EXPECT_EQ(model->prompts()[2].prompt, "Do it{selected text}{selected text}");
}

TEST_F(PromptEditorViewTests, ChangingTheKindMovesThePresetAcrossTabsAndRefreshes) {
  open(samplePresets());
  model->isContext = false;
  click("promptEditor.row.1");  // Translate
  click("editor.kind.Non - Context");
  EXPECT_EQ(model->prompts()[2].promptType, "nonContext");
  EXPECT_FALSE(shows("editor.addSelectedText"));
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(rowCount(), 2);
  click("promptEditor.tab.Non-context");
  EXPECT_EQ(rowCount(), 3);
  EXPECT_EQ(formName(), "Translate");
}

TEST_F(PromptEditorViewTests, AStaleIndexShowsNothingAndIgnoresEdits) {
  open({});
  EXPECT_FALSE(hasForm());
  click("promptEditor.add");
  EXPECT_EQ(formName(), "New Prompt");  // position 0 exists now

  auto name = field("editor.name");
  model->PromptM.get()->prompts.set({});
  name.set("Lost");
  EXPECT_TRUE(model->prompts().empty());
  host->update();
  EXPECT_FALSE(hasForm());
}

TEST_F(PromptEditorViewTests, LibraryButtonOpensTheSitesLibraryAndToggleHidesTheSidebar) {
  open(samplePresets());
  testing::internal::CaptureStdout();
  click("promptEditor.library");
  opener.succeeds = false;
  click("promptEditor.library");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(opener.opened, (std::vector<std::string>(2, "https://quillcast.app/library/All")));
  EXPECT_EQ(out.find("Open prompt library in browser\n"),
            out.rfind("Open prompt library in browser\n"));
  EXPECT_NE(out.find("Open prompt library in browser\n"), std::string::npos);

  click("promptEditor.toggleSidebar");
  EXPECT_FALSE(shows("promptEditor.sidebar"));
  EXPECT_TRUE(hasForm());
  click("promptEditor.toggleSidebar");
  EXPECT_TRUE(shows("promptEditor.sidebar"));
}

}  // namespace
}  // namespace shell
