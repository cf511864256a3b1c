#include "shell/PanelAccess.h"

namespace shell {

std::string spokenKeys(const HotKeys::Shortcut& shortcut) {
  const std::string text = shortcut.displayText();
  std::string spoken;
  // A "+" with more after it joins two keys; the last one may be the plus key itself.
  for (std::size_t i = 0; i < text.size(); ++i)
    spoken += text[i] == '+' && i + 1 < text.size() ? std::string(" + ") : std::string(1, text[i]);
  return spoken;
}

std::string openingSentence(const PanelAccess& access) {
  const std::string instead = access.hasTray
                                  ? "open Quillcast from its tray menu or by starting it again"
                                  : "start Quillcast again to open it";
  if (!access.hotKey)
    return "No hot key is set: " + instead + " (You can set one in the settings).";
  const std::string keys = spokenKeys(*access.hotKey);
  if (!access.hotKeyWorks)
    return keys + " is taken by another program: " + instead +
           " (You can set another key in the settings).";
  return "Hit " + keys + " to open Quillcast (You can set this in the settings).";
}

std::string launchNotice(const PanelAccess& access) {
  if (access.hotKey && access.hotKeyWorks)
    return access.hasTray ? std::string() : access.hotKey->displayText() + " opens the panel";
  const std::string why =
      access.hotKey ? "the hot key " + access.hotKey->displayText() + " is taken by another program"
                    : "no hot key is set";
  return why + (access.hasTray
                    ? ": \"Open Quillcast\" in the tray menu opens the panel, as does starting "
                      "Quillcast again"
                    : ": start Quillcast again to open the panel");
}

}  // namespace shell
