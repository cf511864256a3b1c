#include "shell/SocketPlace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/Files.h"

namespace shell {
namespace {

constexpr const char* kSocketName = "quillcast.socket";
constexpr const char* kFolderName = "quillcast";

// Empty when `folder` is ours alone.
std::string whyNotPrivate(const std::filesystem::path& folder, uid_t user) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0)
    return "cannot read " + folder.string() + ": " + std::strerror(errno);
  if (S_ISLNK(info.st_mode)) return folder.string() + " is a symbolic link";
  if (!S_ISDIR(info.st_mode)) return folder.string() + " is not a folder";
  if (info.st_uid != user) return folder.string() + " belongs to another user";
  if ((info.st_mode & 077) != 0) return folder.string() + " is open to other users";
  return {};
}

// Makes the missing folders of `folder`, each 0700; empty when it is there now.
std::string makeFolders(const std::filesystem::path& folder) {
  std::filesystem::path made;
  for (const auto& part : folder) {
    made /= part;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
      return "cannot make " + made.string() + ": " + std::strerror(errno);
  }
  return {};
}

}  // namespace

SocketPlace socketPlace(const char* runtimeFolder, const std::filesystem::path& stateFolder,
                        uid_t user) {
  // A runtime folder that others can reach is no safer than the temporary folder.
  if (runtimeFolder && *runtimeFolder && std::filesystem::path(runtimeFolder).is_absolute() &&
      whyNotPrivate(runtimeFolder, user).empty())
    return {std::filesystem::path(runtimeFolder) / kSocketName, {}};
  if (!stateFolder.is_absolute())
    return {{}, "no folder of this user's own for the single-instance socket"};
  const auto folder = stateFolder / kFolderName;
  if (auto problem = makeFolders(folder); !problem.empty()) return {{}, problem};
  if (auto problem = whyNotPrivate(folder, user); !problem.empty()) return {{}, problem};
  return {folder / kSocketName, {}};
}

std::filesystem::path stateHome() {
  // Relative values are invalid for XDG variables and are ignored.
  if (const char* state = std::getenv("XDG_STATE_HOME");
      state && std::filesystem::path(state).is_absolute())
    return state;
  return foundation::files::homeDirectory() / ".local" / "state";
}

SocketPlace defaultSocketPlace() {
  return socketPlace(std::getenv("XDG_RUNTIME_DIR"), stateHome(), ::getuid());
}

}  // namespace shell
