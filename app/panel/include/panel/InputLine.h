#pragma once

#include <string>
#include <string_view>

#include "core/DataModel.h"
#include "ui/Input.h"

namespace panel {

inline constexpr std::string_view kContextFoundStatus = "Context found press esc to remove context";
inline constexpr std::string_view kSearchPlaceholder = "Search for prompts preset or ask AI...";
inline constexpr std::string_view kAskPlaceholder = "Ask AI...";
inline constexpr double kInputLineFontSize = 18;

// The empty line's hint: presets are offered for a captured context.
std::string_view inputLinePlaceholder(std::string_view status);

// What becomes of a key after the model has had its say.
enum class InputKeyResult {
  passOn,         // the text widget handles it as usual (moves the caret, types)
  consumed,       // done; the widget must not see it
  insertNewline,  // the widget inserts a line break, nothing else happens
};
inline bool consumesKey(InputKeyResult result) {
  return result == InputKeyResult::consumed;
}

// Up and Down move the model's selection and still move the caret; Escape steps back;
// Return sends, Shift+Return breaks the line. Ctrl+Return is the window's accept command and
// passes through untouched.
InputKeyResult routeInputLineKey(const ui::KeyEvent& event, core::DataModel& model);

// Whether the widget must take the model's command: only when they differ, so the caret, the
// undo history and an input method's composition survive the model's other updates.
inline bool inputLineNeedsText(std::string_view fieldText, std::string_view command) {
  return fieldText != command;
}

}  // namespace panel
