#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "appkit/Menu.h"
#include "ui/Geometry.h"

namespace appkit {

// The program's icon in the desktop's system tray, with its menu (opened by either button).
// When the desktop has no tray the program goes on without it and says so once on standard
// error; the icon appears if a tray shows up later. Needs an Application. Main thread only.
class StatusItem {
 public:
  // `symbolName` is one of the program's symbols ("wand.and.stars"); `accessibleName` is what
  // screen readers say and the tooltip shows.
  StatusItem(const std::string& symbolName, const std::string& accessibleName);
  ~StatusItem();
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  void setMenu(Menu menu);
  const Menu& menu() const;
  std::string accessibleName() const;

  // Whether the desktop runs a tray now (the icon may still be on its way into it).
  bool trayRuns() const;
  // Whether a tray hosts the icon now.
  bool isInTray() const;
  // Where the tray shows the icon, in screen pixels; absent while no tray shows it.
  std::optional<ui::Rect> screenFrame() const;
  // Opens the menu as a click on the icon does.
  void popUpMenu();
  bool isMenuShown() const;

  // The line written when no tray is found.
  static const char* const noTrayMessage;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace appkit
