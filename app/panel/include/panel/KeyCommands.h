#pragma once

#include <optional>

#include "core/DataModel.h"
#include "panel/AnswerActions.h"
#include "panel/FloatingViewState.h"
#include "ui/Input.h"

namespace panel {

// The panel's key commands; they work while the panel is the active window and come before
// the focused control. Ctrl stands where the original keys use Command.
enum class PanelCommand {
  accept,          // Ctrl+Return
  regenerate,      // Ctrl+R, only while there is an answer
  fontSizeUp,      // Ctrl++ (also Ctrl+= and Ctrl+Shift+=)
  escape,          // Escape
  fontSizeReset,   // Ctrl+0
  fontSizeDown,    // Ctrl+-
  toggleHistory,   // Ctrl+H
  toggleMarkdown,  // Ctrl+M
  copyAnswer,      // Ctrl+Shift+C
  toggleOnTop,     // Ctrl+T
};

std::optional<PanelCommand> panelCommandForKey(const ui::KeyEvent& event);

// Runs the commands against the model, the panel content's state and the answer actions.
class PanelCommands {
 public:
  PanelCommands(core::DataModel& model, FloatingViewState& state, AnswerActions& actions)
      : model_(model), state_(state), actions_(actions) {}

  // False when the command is off right now (Ctrl+R without an answer).
  bool run(PanelCommand command);
  // True when the key was a command that ran.
  bool handleKey(const ui::KeyEvent& event);

 private:
  core::DataModel& model_;
  FloatingViewState& state_;
  AnswerActions& actions_;
};

}  // namespace panel
