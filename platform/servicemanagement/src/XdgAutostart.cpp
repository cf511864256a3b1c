#include "servicemanagement/XdgAutostart.h"

#include <foundation/Files.h>

#include <cstdlib>
#include <string_view>

#include "servicemanagement/DesktopEntry.h"

namespace fs = std::filesystem;

namespace servicemanagement {
namespace {

std::optional<DesktopEntry> readEntry(const fs::path& file) {
  std::error_code error;
  auto text = foundation::files::readFile(file, error);
  if (!text) return std::nullopt;
  return DesktopEntry::parse(*text);
}

}  // namespace

XdgAutostart::XdgAutostart(Application application) : application_(std::move(application)) {}

fs::path XdgAutostart::userFile() const {
  return foundation::files::configHome() / "autostart" / (application_.id + ".desktop");
}

std::vector<fs::path> XdgAutostart::systemFiles() const {
  const char* env = std::getenv("XDG_CONFIG_DIRS");
  std::string_view dirs = env && *env ? env : "/etc/xdg";
  std::vector<fs::path> files;
  while (!dirs.empty()) {
    const auto colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    // Relative entries are invalid and ignored.
    if (!dir.empty() && dir.front() == '/')
      files.push_back(fs::path(dir) / "autostart" / (application_.id + ".desktop"));
    dirs.remove_prefix(colon == std::string_view::npos ? dirs.size() : colon + 1);
  }
  return files;
}

bool XdgAutostart::isEnabled() const {
  std::error_code error;
  fs::path effective = userFile();
  if (!fs::exists(effective, error)) {
    effective.clear();
    for (const auto& file : systemFiles()) {
      if (fs::exists(file, error)) {
        effective = file;
        break;
      }
    }
    if (effective.empty()) return false;
  }
  auto entry = readEntry(effective);
  if (!entry) return false;
  return entry->boolean("Hidden") != true && entry->boolean("X-GNOME-Autostart-enabled") != false;
}

std::string XdgAutostart::contents() const {
  const fs::path exe =
      application_.executable.empty() ? runningExecutable() : application_.executable;
  return "[Desktop Entry]\nType=Application\nName=" + application_.name +
         "\nExec=" + execArgument(exe.string()) + "\nX-GNOME-Autostart-enabled=true\n";
}

std::error_code XdgAutostart::enable() {
  const fs::path file = userFile();
  std::error_code error;
  fs::create_directories(file.parent_path(), error);
  if (error) return error;
  // Written over any existing entry in one rename, so a failure leaves the old one in place.
  return foundation::files::writeAtomically(file, contents());
}

std::error_code XdgAutostart::disable() {
  const fs::path file = userFile();
  std::error_code error;
  for (const auto& system : systemFiles()) {
    if (!fs::exists(system, error)) continue;
    fs::create_directories(file.parent_path(), error);
    if (error) return error;
    return foundation::files::writeAtomically(
        file, "[Desktop Entry]\nType=Application\nName=" + application_.name + "\nHidden=true\n");
  }
  fs::remove(file, error);  // an absent file is not an error
  return error;
}

fs::path XdgAutostart::runningExecutable() {
  std::error_code error;
  std::string exe = fs::read_symlink("/proc/self/exe", error).string();
  if (error) return {};
  // A binary replaced by an upgrade while running still starts from its path next time.
  constexpr std::string_view deleted = " (deleted)";
  if (exe.ends_with(deleted)) exe.resize(exe.size() - deleted.size());
  return exe;
}

}  // namespace servicemanagement
