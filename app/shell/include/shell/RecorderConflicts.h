#pragma once

#include <functional>
#include <memory>

#include "HotKeys/Recorder.h"
#include "appkit/Alert.h"
#include "appkit/Menu.h"

namespace shell {

// The editing shortcuts every application answers to: Undo, Redo (both of its keys), Cut,
// Copy, Paste and Select All. Taken as a global hot key, one of them would stop working in
// every other program.
appkit::Menu standardEditMenu();

// The services of the settings window's recorder: the desktop's beep and alerts, and the menus
// it refuses keys of: the tray menu as `statusMenu` gives it at the moment of the check, and
// the editing shortcuts.
std::shared_ptr<const HotKeys::RecorderServices> settingsRecorderServices(
    std::shared_ptr<appkit::UserFeedback> feedback, std::function<appkit::Menu()> statusMenu);

}  // namespace shell
