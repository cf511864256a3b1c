#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace testsupport {

// A private HOME for one test: a fresh temporary folder with .config, .local/share and
// Documents, with HOME and the XDG variables pointing into it. The destructor puts the old
// environment back and deletes the folder. The standard user defaults are dropped on both
// ends, so the next UserDefaults::standard() reads the current HOME.
class ScopedHome {
 public:
  ScopedHome();
  ~ScopedHome();
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path documents() const { return path_ / "Documents"; }
  std::filesystem::path config() const { return path_ / ".config"; }

 private:
  std::filesystem::path path_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace testsupport
