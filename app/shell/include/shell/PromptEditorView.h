#pragma once

#include <memory>
#include <optional>

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
// highlighted by the list that opened it. An index naming no preset shows nothing and edits
// nothing.
ui::AnyView EditorView(std::shared_ptr<core::DataModel> model, ui::StateRef<int> promptIndex,
                       ui::Binding<std::optional<int>> selection);

// The form's texts shown for absent fields; they are stored only once the user edits.
inline constexpr const char* kSystemPromptFallback = "You are a helpful assistant.";
inline constexpr const char* kSelectedTextPlaceholder = "{selected text}";

}  // namespace shell
