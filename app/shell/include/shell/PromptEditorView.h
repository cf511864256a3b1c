#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "core/DataModel.h"
#include "shell/URLOpener.h"
#include "ui/State.h"
#include "ui/View.h"

namespace shell {

// The prompt editor window: the presets in two tabs ("Context", "Non-context") beside the form
// of the chosen one. Every change goes straight into the model's presets, which save at once,
// and the model's filtered list follows so the panel never shows a stale preset.
ui::AnyView PromptEditorView(std::shared_ptr<core::DataModel> model, URLOpener* opener);

// The form of the preset at `promptIndex` (a full position); `selection` is the position
// highlighted by the list that opened it, the list of `nonContextTab`'s kind. An index naming no
// preset shows nothing and edits nothing. Delete then shows the nearest preset of that list,
// the one above first, or nothing once the list is empty; the last preset is never deleted.
ui::AnyView EditorView(std::shared_ptr<core::DataModel> model, ui::StateRef<int> promptIndex,
                       ui::Binding<std::optional<int>> selection, bool nonContextTab);

// The full position Delete moves to once the preset at `removed` is gone from `prompts`: the
// nearest one of the tab's kind, the one above first; none when the tab has none left.
std::optional<int> positionAfterDelete(const std::vector<core::PromptData>& prompts, int removed,
                                       bool nonContextTab);

// The form's texts shown for absent fields; they are stored only once the user edits.
inline constexpr const char* kSystemPromptFallback = "You are a helpful assistant.";
inline constexpr const char* kSelectedTextPlaceholder = "{selected text}";

}  // namespace shell
