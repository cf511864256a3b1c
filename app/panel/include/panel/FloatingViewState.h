#pragma once

#include <cstdint>
#include <optional>

#include "foundation/ObservableObject.h"
#include "foundation/UserDefaults.h"
#include "panel/PanelSettings.h"
#include "ui/Identity.h"

namespace panel {

// Focus identity of the input line; fill-in fields use the id of their piece.
inline constexpr std::int64_t kInputLineFocus = 9999;

// The panel content's own state: it lives as long as the panel. Font size and Markdown switch
// are written to the user defaults on every change. Main thread only.
class FloatingViewState : public foundation::ObservableObject {
 public:
  // Starts from the stored font size and Markdown switch.
  explicit FloatingViewState(foundation::UserDefaults& defaults);

  foundation::Published<double> fontSize{this, kDefaultFontSize};
  foundation::Published<bool> markdownOn{this, true};
  // The control with the keyboard: the input line or a fill-in field. Setting it moves the
  // focus there as soon as that control is on screen.
  foundation::Published<std::optional<ui::Identity>> focusField{this, std::nullopt};

  // Takes the stored values again (when a message row comes on screen).
  void loadStored();

  void increaseFontSize();
  void decreaseFontSize();
  void resetFontSize();
  void toggleMarkdown();

  foundation::UserDefaults& defaults() const { return defaults_; }

 private:
  void storeFontSize(double size);
  foundation::UserDefaults& defaults_;
};

}  // namespace panel
