#pragma once

#include <optional>
#include <string>

#include "HotKeys/Shortcut.h"
#include "foundation/ObservableObject.h"

namespace shell {

// The ways in to the panel on this desktop: the hot key stored for it, whether the desktop
// let us have it, and whether a tray shows the menu.
struct PanelAccess {
  std::optional<HotKeys::Shortcut> hotKey;
  bool hotKeyWorks = false;
  bool hasTray = false;
  bool operator==(const PanelAccess&) const = default;
};

// A shortcut as the onboarding writes keys: "Alt + Space".
std::string spokenKeys(const HotKeys::Shortcut& shortcut);

// The second sentence of the onboarding's "Any App" row: how to open the panel.
std::string openingSentence(const PanelAccess& access);

// What to say on standard error at launch about the way in; empty when the hot key works and
// the tray shows the menu.
std::string launchNotice(const PanelAccess& access);

// The ways in as they are now, for windows that tell them.
class PanelAccessModel : public foundation::ObservableObject {
 public:
  foundation::Published<PanelAccess> access{this, {}};
  // Stores only a change, so that windows are rebuilt only then.
  void update(const PanelAccess& now) {
    if (now != access.get()) access = now;
  }
};

}  // namespace shell
