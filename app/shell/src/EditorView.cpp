#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "shell/PromptEditorView.h"
#include "shell/PromptListEditing.h"
#include "ui/Views.h"

namespace shell {
namespace {

using Presets = std::vector<core::PromptData>;

// Runs `edit` on the preset at the index the form shows now, when it still exists; the
// presets file is saved by the list itself.
template <class F>
void editPreset(core::PromptModel& promptModel, int index, F&& edit) {
  if (index < 0 || index >= static_cast<int>(promptModel.prompts->size())) return;
  promptModel.prompts.modify(
      [&](Presets& presets) { edit(presets[static_cast<std::size_t>(index)]); });
}

// A text of the preset at the form's index, read and written through.
template <class Read, class Write>
ui::Binding<std::string> presetText(std::shared_ptr<core::PromptModel> promptModel,
                                    ui::StateRef<int> index, Read read, Write write) {
  return ui::Binding<std::string>(
      [=] {
        const int i = index.get();
        const auto& presets = promptModel->prompts.get();
        if (i < 0 || i >= static_cast<int>(presets.size())) return std::string();
        return read(presets[static_cast<std::size_t>(i)]);
      },
      [=](std::string text) {
        editPreset(*promptModel, index.get(),
                   [&](core::PromptData& preset) { write(preset, std::move(text)); });
      });
}

ui::AnyView Caption(std::string text) {
  return ui::AnyView(ui::Text::verbatim(std::move(text)))
      .font(ui::Font::caption())
      .foregroundColor(ui::Color::primary());
}

ui::AnyView RadioChoice(std::string title, bool chosen, std::function<void()> choose) {
  auto mark = ui::ZStack({
      ui::Shape::circle().strokeBorder(ui::Color::gray(), 1),
      ui::If(chosen, ui::Shape::circle().fill(ui::Color::accent()).padding(4)),
  });
  return ui::Button(std::move(choose), ui::HStack(ui::VAlign::center, 5,
                                                  {mark.frame(14, 14), ui::Text::verbatim(title)}))
      .buttonStyle(ui::ButtonStyle::plain)
      .focusable("editor.kind." + title)
      .accessibility({.role = ui::AccessibilityRole::radioButton, .checked = chosen})
      .accessibilityIdentifier("editor.kind." + title);
}

ui::AnyView PromptEditor(ui::Identity id, std::string title, ui::Binding<std::string> text) {
  ui::TextEditorWidget editor;
  editor.text = std::move(text);
  editor.minHeight = 100;
  return ui::Representable(std::move(id), std::move(editor),
                           {.idealWidth = std::nullopt,
                            .idealHeight = 100,
                            .flexibleWidth = true,
                            .flexibleHeight = false})
      .accessibilityLabel(std::move(title))
      .frame(ui::FrameBounds{.minHeight = 100});
}

}  // namespace

std::optional<int> positionAfterDelete(const std::vector<core::PromptData>& prompts, int removed,
                                       bool nonContextTab) {
  const auto positions = tabPositions(prompts, nonContextTab);
  const auto below = std::lower_bound(positions.begin(), positions.end(), removed);
  if (below != positions.begin()) return *std::prev(below);
  if (below != positions.end()) return *below;
  return std::nullopt;
}

ui::AnyView EditorView(std::shared_ptr<core::DataModel> model, ui::StateRef<int> promptIndex,
                       ui::Binding<std::optional<int>> selection, bool nonContextTab) {
  return ui::ViewBuilder([model, promptIndex, selection, nonContextTab](ui::BuildContext& context) {
    auto promptModel = model->PromptM.get();
    context.observe(*promptModel);
    const auto& presets = promptModel->prompts.get();
    const int index = promptIndex.get();
    if (index < 0 || index >= static_cast<int>(presets.size())) return ui::EmptyView();
    const core::PromptData& preset = presets[static_cast<std::size_t>(index)];

    auto name = presetText(
        promptModel, promptIndex, [](const core::PromptData& p) { return p.name; },
        [](core::PromptData& p, std::string text) { p.name = std::move(text); });
    auto emoji = presetText(
        promptModel, promptIndex, [](const core::PromptData& p) { return p.emoji; },
        [](core::PromptData& p, std::string text) { p.emoji = std::move(text); });
    auto systemPrompt = presetText(
        promptModel, promptIndex,
        [](const core::PromptData& p) { return p.systemPrompt.value_or(kSystemPromptFallback); },
        [](core::PromptData& p, std::string text) { p.systemPrompt = std::move(text); });
    auto prompt = presetText(
        promptModel, promptIndex, [](const core::PromptData& p) { return p.prompt; },
        [](core::PromptData& p, std::string text) { p.prompt = std::move(text); });

    // The panel lists presets by kind, so a new kind refreshes its list at once.
    auto chooseKind = [model, promptModel, promptIndex](std::string kind) {
      const int i = promptIndex.get();
      if (i < 0 || i >= static_cast<int>(promptModel->prompts->size())) return;
      if (promptModel->prompts.get()[static_cast<std::size_t>(i)].kind() == kind) return;
      editPreset(*promptModel, i, [&](core::PromptData& p) { p.promptType = kind; });
      model->refreshPromptList();
    };
    // The form then shows a preset its list shows: a preset of the other kind would be
    // deleted by the next press unseen.
    auto deletePreset = [model, promptModel, promptIndex, selection, nonContextTab] {
      const int old = promptIndex.get();
      if (old < 0 || old >= static_cast<int>(promptModel->prompts->size())) return;
      if (promptModel->prompts->size() > 1) {
        promptModel->prompts.modify([old](Presets& list) { list.erase(list.begin() + old); });
        const auto next = positionAfterDelete(promptModel->prompts.get(), old, nonContextTab);
        selection.set(next);
        promptIndex.set(next.value_or(-1));
        model->refreshPromptList();
      }
      model->refreshPromptList();
    };
    auto addSelectedText = [promptModel, promptIndex] {
      editPreset(*promptModel, promptIndex.get(),
                 [](core::PromptData& p) { p.prompt += kSelectedTextPlaceholder; });
    };

    const std::string kind = preset.kind();
    std::vector<ui::AnyView> form{
        ui::TextField("editor.name", "Name", name),
        ui::TextField("editor.emoji", "Emoji", emoji),
        Caption("System Prompt"),
        PromptEditor("editor.systemPrompt", "System Prompt", systemPrompt),
        Caption("Prompt"),
        PromptEditor("editor.prompt", "Prompt", prompt),
        ui::HStack(ui::VAlign::center, 12,
                   {ui::Text::verbatim("Use Selected text"),
                    RadioChoice("Context", kind == core::kContextPromptType,
                                [chooseKind] { chooseKind(core::kContextPromptType); }),
                    RadioChoice("Non - Context", kind == core::kNonContextPromptType,
                                [chooseKind] { chooseKind(core::kNonContextPromptType); })}),
        ui::Button("Delete", deletePreset)
            .focusable("editor.delete")
            .accessibilityIdentifier("editor.delete"),
    };
    if (kind != core::kNonContextPromptType)
      form.push_back(ui::Button("Add Selected Text", addSelectedText)
                         .focusable("editor.addSelectedText")
                         .accessibilityIdentifier("editor.addSelectedText"));

    auto heading = ui::HStack({ui::AnyView(ui::Text::verbatim(preset.emoji + " " + preset.name))
                                   .font(ui::Font::title())
                                   .accessibilityIdentifier("editor.heading"),
                               ui::Spacer()})
                       .padding(ui::EdgeSet::horizontal(), 20);
    auto content = ui::VStack(ui::HAlign::leading, std::nullopt,
                              {heading, ui::VStack(ui::HAlign::leading, 10, std::move(form))
                                            .font(ui::Font::subheadline())
                                            .foregroundColor(ui::Color::primary())});
    return ui::ScrollView(
        ui::VStack(ui::HAlign::leading, 20, {ui::HStack(ui::VAlign::center, 24, {content})})
            .padding()
            .frame(ui::FrameBounds{.maxWidth = 700}));
  });
}

}  // namespace shell
