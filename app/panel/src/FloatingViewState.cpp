#include "panel/FloatingViewState.h"

namespace panel {

FloatingViewState::FloatingViewState(foundation::UserDefaults& defaults) : defaults_(defaults) {
  loadStored();
}

void FloatingViewState::loadStored() {
  const bool markdown = storedMarkdownOn(defaults_);
  const double size = storedFontSize(defaults_);
  if (markdownOn.get() != markdown) markdownOn = markdown;
  if (fontSize.get() != size) fontSize = size;
}

void FloatingViewState::storeFontSize(double size) {
  fontSize = size;
  defaults_.set(kFontSizeKey, size);
}

void FloatingViewState::increaseFontSize() {
  storeFontSize(fontSizeUp(fontSize));
}

void FloatingViewState::decreaseFontSize() {
  storeFontSize(fontSizeDown(fontSize));
}

void FloatingViewState::resetFontSize() {
  storeFontSize(kDefaultFontSize);
}

void FloatingViewState::toggleMarkdown() {
  markdownOn = !markdownOn.get();
  defaults_.set(kMarkdownOnKey, markdownOn.get());
}

}  // namespace panel
