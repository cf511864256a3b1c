#include "panel/InputLine.h"

namespace panel {

std::string_view inputLinePlaceholder(std::string_view status) {
  return status == kContextFoundStatus ? kSearchPlaceholder : kAskPlaceholder;
}

InputKeyResult routeInputLineKey(const ui::KeyEvent& event, core::DataModel& model) {
  const auto& mods = event.modifiers;
  if (event.key == ui::Key::up && mods.none()) {
    model.selectPrevious();
    return InputKeyResult::passOn;
  }
  if (event.key == ui::Key::down && mods.none()) {
    model.selectNext();
    return InputKeyResult::passOn;
  }
  if (event.key == ui::Key::escape && !mods.control && !mods.alt) {
    model.handleEscape();
    return InputKeyResult::consumed;
  }
  if (event.key == ui::Key::enter) {
    if (mods.control || mods.alt || mods.super) return InputKeyResult::passOn;
    if (mods.shift) return InputKeyResult::insertNewline;
    model.sendPrompt();
    return InputKeyResult::consumed;
  }
  return InputKeyResult::passOn;
}

}  // namespace panel
