#include "panel/InputLine.h"

namespace panel {

std::string_view inputLinePlaceholder(std::string_view status) {
  return status == kContextFoundStatus ? kSearchPlaceholder : kAskPlaceholder;
}

InputKeyResult routeInputLineKey(const ui::KeyEvent& event, core::DataModel& model) {
  if (event.key == "up") {
    model.selectPrevious();
    return InputKeyResult::passOn;
  }
  if (event.key == "down") {
    model.selectNext();
    return InputKeyResult::passOn;
  }
  if (event.key == "escape") {
    model.handleEscape();
    return InputKeyResult::consumed;
  }
  if (event.key == "return" || event.key == "enter") {
    if (event.control || event.alt) return InputKeyResult::passOn;
    if (event.shift) return InputKeyResult::insertNewline;
    model.sendPrompt();
    return InputKeyResult::consumed;
  }
  return InputKeyResult::passOn;
}

}  // namespace panel
