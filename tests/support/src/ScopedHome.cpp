#include "testsupport/ScopedHome.h"

#include <stdlib.h>

#include <stdexcept>
#include <string>
#include <system_error>

#include "foundation/UserDefaults.h"

namespace testsupport {
namespace fs = std::filesystem;

namespace {
// Every variable that could lead a test to the real user's files.
constexpr const char* kVariables[] = {"HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                      "XDG_CACHE_HOME", "XDG_STATE_HOME",  "XDG_DOCUMENTS_DIR"};
}  // namespace

ScopedHome::ScopedHome() {
  for (const char* name : kVariables) {
    const char* value = ::getenv(name);
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }
  std::string pattern = (fs::temp_directory_path() / "quill-home-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = pattern;
  fs::create_directories(config());
  fs::create_directories(path_ / ".local" / "share");
  fs::create_directories(path_ / ".cache");
  fs::create_directories(path_ / ".local" / "state");
  fs::create_directories(documents());

  ::setenv("HOME", path_.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
  ::setenv("XDG_DATA_HOME", (path_ / ".local" / "share").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (path_ / ".cache").c_str(), 1);
  ::setenv("XDG_STATE_HOME", (path_ / ".local" / "state").c_str(), 1);
  ::unsetenv("XDG_DOCUMENTS_DIR");
  foundation::UserDefaults::resetStandard();
}

ScopedHome::~ScopedHome() {
  // Finishes any pending write into this home before it goes away.
  foundation::UserDefaults::resetStandard();
  for (const auto& [name, value] : saved_) {
    if (value)
      ::setenv(name.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name.c_str());
  }
  std::error_code error;
  // Tests may leave read-only folders behind; make them writable so that removal succeeds.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

}  // namespace testsupport
