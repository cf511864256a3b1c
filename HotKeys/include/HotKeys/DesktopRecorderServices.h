#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "HotKeys/Recorder.h"
#include "appkit/Alert.h"
#include "appkit/KeyEquivalent.h"
#include "appkit/Menu.h"

namespace HotKeys {

// The shortcut as the program's menus name keys ("space", "f5", "k" with Alt...); nothing for
// a key the menus cannot name.
std::optional<appkit::KeyEquivalent> menuKeyEquivalent(const Shortcut& shortcut);

// The recorder's services on the desktop: the beep and warning alerts of `feedback`, and the
// items of the menus `menus()` gives at the moment of the check.
std::shared_ptr<const RecorderServices> desktopRecorderServices(
    std::shared_ptr<appkit::UserFeedback> feedback,
    std::function<std::vector<const appkit::Menu*>()> menus);

}  // namespace HotKeys
