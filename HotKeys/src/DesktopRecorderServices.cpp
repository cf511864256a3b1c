#include "HotKeys/DesktopRecorderServices.h"

#include <map>

#include "HotKeys/KeyText.h"

namespace HotKeys {

std::optional<appkit::KeyEquivalent> menuKeyEquivalent(const Shortcut& shortcut) {
  static const std::map<int, const char*> names = [] {
    std::map<int, const char*> n = {
        {Key::return_.rawValue, "return"},
        {Key::escape.rawValue, "escape"},
        {Key::space.rawValue, "space"},
        {Key::tab.rawValue, "tab"},
        {Key::deleteForward.rawValue, "delete"},
        {Key::delete_.rawValue, "backspace"},
        {Key::upArrow.rawValue, "up"},
        {Key::downArrow.rawValue, "down"},
        {Key::leftArrow.rawValue, "left"},
        {Key::rightArrow.rawValue, "right"},
        {Key::home.rawValue, "home"},
        {Key::end.rawValue, "end"},
        {Key::pageUp.rawValue, "pageup"},
        {Key::pageDown.rawValue, "pagedown"},
    };
    static const char* const functionNames[] = {"f1",  "f2",  "f3",  "f4",  "f5",  "f6",  "f7",
                                                "f8",  "f9",  "f10", "f11", "f12", "f13", "f14",
                                                "f15", "f16", "f17", "f18", "f19", "f20"};
    for (int i = 0; i < 20; ++i) n[kFunctionKeys[i].rawValue] = functionNames[i];
    return n;
  }();
  std::string key;
  if (auto it = names.find(shortcut.carbonKeyCode); it != names.end()) {
    key = it->second;
  } else if (auto text = keyToCharacter(shortcut.carbonKeyCode)) {
    key = lowercased(*text);
  } else {
    return std::nullopt;
  }
  return appkit::KeyEquivalent(key, shortcut.modifiers());
}

std::shared_ptr<const RecorderServices> desktopRecorderServices(
    std::shared_ptr<appkit::UserFeedback> feedback,
    std::function<std::vector<const appkit::Menu*>()> menus) {
  auto services = std::make_shared<RecorderServices>();
  services->beep = [feedback] {
    if (feedback) feedback->beep();
  };
  services->alert = [feedback](const std::string& message, const std::string& informativeText) {
    if (!feedback) return;
    appkit::Alert alert;
    alert.messageText = message;
    alert.informativeText = informativeText;
    alert.style = appkit::AlertStyle::warning;
    feedback->runModal(alert);
  };
  services->menuItemTitleUsing = [menus](const Shortcut& shortcut) -> std::optional<std::string> {
    auto pressed = menuKeyEquivalent(shortcut);
    if (!pressed || !menus) return std::nullopt;
    for (const appkit::Menu* menu : menus())
      if (menu)
        if (const appkit::MenuItem* item = menu->itemWithKeyEquivalent(*pressed))
          return item->title;
    return std::nullopt;
  };
  return services;
}

}  // namespace HotKeys
