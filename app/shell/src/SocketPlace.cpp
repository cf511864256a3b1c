#include "shell/SocketPlace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace shell {
namespace {

constexpr const char* kSocketName = "quillcast.socket";

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

}  // namespace

SocketPlace socketPlace(const char* runtimeFolder, const std::filesystem::path& temporaryFolder,
                        uid_t user) {
  if (runtimeFolder && *runtimeFolder)
    return {std::filesystem::path(runtimeFolder) / kSocketName, {}};
  const auto folder = temporaryFolder / ("quillcast-" + std::to_string(user));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return {{}, "cannot make " + folder.string() + ": " + std::strerror(errno)};
  if (auto problem = whyNotPrivate(folder, user); !problem.empty()) return {{}, problem};
  return {folder / kSocketName, {}};
}

SocketPlace defaultSocketPlace() {
  std::error_code error;
  auto temporary = std::filesystem::temp_directory_path(error);
  if (error) temporary = "/tmp";
  return socketPlace(std::getenv("XDG_RUNTIME_DIR"), temporary, ::getuid());
}

}  // namespace shell
