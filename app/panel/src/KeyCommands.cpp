#include "panel/KeyCommands.h"

#include <cctype>
#include <string>

namespace panel {

namespace {

std::string lowered(std::string key) {
  if (key.size() == 1) key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
  return key;
}

bool isOneOf(const std::string& key, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (key == name) return true;
  return false;
}

}  // namespace

std::optional<PanelCommand> panelCommandForKey(const ui::KeyEvent& event) {
  const std::string key = lowered(event.key);
  if (key == "escape") {
    if (event.control || event.alt) return std::nullopt;
    return PanelCommand::escape;
  }
  if (!event.control || event.alt) return std::nullopt;
  // "+" usually needs Shift, so Ctrl+= counts as Ctrl++.
  if (isOneOf(key, {"+", "=", "plus", "equal"})) return PanelCommand::fontSizeUp;
  if (isOneOf(key, {"-", "minus"}) && !event.shift) return PanelCommand::fontSizeDown;
  if (event.shift) {
    if (key == "c") return PanelCommand::copyAnswer;
    return std::nullopt;
  }
  if (key == "return" || key == "enter") return PanelCommand::accept;
  if (key == "r") return PanelCommand::regenerate;
  if (key == "0") return PanelCommand::fontSizeReset;
  if (key == "h") return PanelCommand::toggleHistory;
  if (key == "m") return PanelCommand::toggleMarkdown;
  if (key == "t") return PanelCommand::toggleOnTop;
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
