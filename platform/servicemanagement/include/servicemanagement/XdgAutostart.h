#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "servicemanagement/Autostart.h"

namespace servicemanagement {

// Autostart through a desktop file in $XDG_CONFIG_HOME/autostart, the entry that the session
// settings of GNOME, KDE and Xfce show. The locations are read from the environment on every
// call; a system entry of the same name in $XDG_CONFIG_DIRS/autostart is hidden by a user file
// with Hidden=true.
class XdgAutostart final : public Autostart {
 public:
  struct Application {
    std::string id;                    // the file is "<id>.desktop"
    std::string name;                  // Name=
    std::filesystem::path executable;  // Exec=; empty means the running program
  };
  explicit XdgAutostart(Application application);

  bool isEnabled() const override;
  std::error_code enable() override;
  std::error_code disable() override;

  std::filesystem::path userFile() const;
  std::vector<std::filesystem::path> systemFiles() const;
  // What enable() writes.
  std::string contents() const;

  // The running program's absolute path, from /proc/self/exe.
  static std::filesystem::path runningExecutable();

 private:
  Application application_;
};

}  // namespace servicemanagement
