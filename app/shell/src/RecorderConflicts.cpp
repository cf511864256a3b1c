#include "shell/RecorderConflicts.h"

#include <vector>

#include "HotKeys/DesktopRecorderServices.h"

namespace shell {

appkit::Menu standardEditMenu() {
  using appkit::KeyEquivalent;
  using appkit::MenuItem;
  using appkit::ModifierFlags;
  const ModifierFlags ctrl(ModifierFlags::control);
  const ModifierFlags ctrlShift(ModifierFlags::control | ModifierFlags::shift);
  appkit::Menu edit;
  for (auto& [title, key] : std::vector<std::pair<const char*, KeyEquivalent>>{
           {"Undo", {"z", ctrl}},
           {"Redo", {"z", ctrlShift}},
           {"Redo", {"y", ctrl}},
           {"Cut", {"x", ctrl}},
           {"Copy", {"c", ctrl}},
           {"Paste", {"v", ctrl}},
           {"Select All", {"a", ctrl}},
       })
    edit.add(MenuItem::command(title, key, {}));
  return appkit::Menu({MenuItem::submenuItem("Edit", std::move(edit))});
}

std::shared_ptr<const HotKeys::RecorderServices> settingsRecorderServices(
    std::shared_ptr<appkit::UserFeedback> feedback, std::function<appkit::Menu()> statusMenu) {
  struct Menus {
    appkit::Menu status;
    const appkit::Menu edit = standardEditMenu();
  };
  auto menus = std::make_shared<Menus>();
  return HotKeys::desktopRecorderServices(std::move(feedback), [menus, statusMenu] {
    // Read afresh: the tray menu changes while the program runs.
    if (statusMenu) menus->status = statusMenu();
    return std::vector<const appkit::Menu*>{&menus->status, &menus->edit};
  });
}

}  // namespace shell
