#pragma once

#include <functional>
#include <string>

#include "panel/InputLine.h"
#include "ui/ViewHost.h"

namespace panel {

// The text widgets the panel asks a backend to host, by kind, with what they show and what
// they report back. The backend keeps one widget per identity and applies a new
// configuration only where it differs from what the widget shows.
inline constexpr const char* kGrowingFieldKind = "panel.growingField";  // the input line
inline constexpr const char* kLineFieldKind = "panel.lineField";        // a fill-in field
inline constexpr const char* kReadOnlyTextKind = "panel.readOnlyText";  // a plain answer

struct HostedTextField {
  std::string text;
  std::string placeholder;
  double fontSize = 13;
  bool readOnly = false;
  bool transparent = true;  // no frame, no background
  // The user changed the text (never called for text the configuration set).
  std::function<void(const std::string&)> onTextChanged;
  // A key the widget received, before it acts on it.
  std::function<InputKeyResult(const ui::KeyEvent&)> onKey;
};

}  // namespace panel
