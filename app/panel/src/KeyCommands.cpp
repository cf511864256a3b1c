#include "panel/KeyCommands.h"

#include <cctype>
#include <string>

namespace panel {

namespace {

// The character a Ctrl chord types, lower case ("" for other keys).
std::string chordCharacter(const ui::KeyEvent& event) {
  if (event.key != ui::Key::character || event.text.size() != 1) return {};
  return std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(event.text[0]))));
}

}  // namespace

std::optional<PanelCommand> panelCommandForKey(const ui::KeyEvent& event) {
  const auto& mods = event.modifiers;
  if (event.key == ui::Key::escape) {
    if (mods.control || mods.alt || mods.super) return std::nullopt;
    return PanelCommand::escape;
  }
  if (!mods.control || mods.alt || mods.super) return std::nullopt;
  if (event.key == ui::Key::enter) {
    if (mods.shift) return std::nullopt;
    return PanelCommand::accept;
  }
  const std::string c = chordCharacter(event);
  // "+" usually needs Shift, so Ctrl+= counts as Ctrl++.
  if (c == "+" || c == "=") return PanelCommand::fontSizeUp;
  if (c == "-" && !mods.shift) return PanelCommand::fontSizeDown;
  if (mods.shift) {
    if (c == "c") return PanelCommand::copyAnswer;
    return std::nullopt;
  }
  if (c == "r") return PanelCommand::regenerate;
  if (c == "0") return PanelCommand::fontSizeReset;
  if (c == "h") return PanelCommand::toggleHistory;
  if (c == "m") return PanelCommand::toggleMarkdown;
  if (c == "t") return PanelCommand::toggleOnTop;
  return std::nullopt;
}

bool PanelCommands::run(PanelCommand command) {
  switch (command) {
    case PanelCommand::accept:
      actions_.acceptAnswer();
      return true;
    case PanelCommand::regenerate:
      if (model_.responseValue->empty()) return false;
      model_.regenerate();
      return true;
    case PanelCommand::fontSizeUp:
      state_.increaseFontSize();
      return true;
    case PanelCommand::escape:
      model_.handleEscape();
      return true;
    case PanelCommand::fontSizeReset:
      state_.resetFontSize();
      return true;
    case PanelCommand::fontSizeDown:
      state_.decreaseFontSize();
      return true;
    case PanelCommand::toggleHistory:
      model_.openHistory = !model_.openHistory.get();
      model_.keyHistorySelected = 0;
      model_.keyHistoryHover = -1;
      return true;
    case PanelCommand::toggleMarkdown:
      state_.toggleMarkdown();
      return true;
    case PanelCommand::copyAnswer:
      actions_.copyAnswer();
      return true;
    case PanelCommand::toggleOnTop:
      model_.isOnTopBinding = !model_.isOnTopBinding.get();
      return true;
  }
  return false;
}

bool PanelCommands::handleKey(const ui::KeyEvent& event) {
  const auto command = panelCommandForKey(event);
  return command && run(*command);
}

}  // namespace panel
