#include "foundation/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

#include "foundation/UserDirs.h"

namespace foundation::files {
namespace fs = std::filesystem;

namespace {

std::error_code lastError() {
  return {errno, std::generic_category()};
}

std::optional<std::string> environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::optional<fs::path> userDirFromFile(const fs::path& file, const std::string& key,
                                        const fs::path& home) {
  std::error_code error;
  const auto text = readFile(file, error);
  if (!text) return std::nullopt;
  return userDirFromText(*text, key, home);
}

bool sameDirectory(const fs::path& a, const fs::path& b) {
  auto strip = [](fs::path p) {
    p = p.lexically_normal();
    return p.has_filename() ? p : p.parent_path();
  };
  return strip(a) == strip(b);
}

std::string timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

std::error_code writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

constexpr std::size_t kTemporarySuffixDigits = 16;

std::string temporaryPrefix(const fs::path& file) {
  return "." + file.filename().string() + ".tmp-";
}

// Opens a fresh temporary file beside `file`, locked so that no clean-up takes it while it is
// written; never reuses one that exists.
int openTemporary(const fs::path& file, fs::perms mode, fs::path& temporary) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[kTemporarySuffixDigits + 1];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    temporary = file.parent_path() / (temporaryPrefix(file) + suffix);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          static_cast<mode_t>(mode));
    if (fd >= 0) {
      (void)::flock(fd, LOCK_EX | LOCK_NB);
      return fd;
    }
    if (errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Removes the temporary file at `path` when it is ours, old enough and held by no writer.
bool removeIfStale(const fs::path& path, std::chrono::seconds minimumAge) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool removed = false;
  struct stat opened {};
  struct stat named {};
  if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
      std::time(nullptr) - opened.st_mtim.tv_sec >= minimumAge.count() &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
      named.st_ino == opened.st_ino && named.st_dev == opened.st_dev) {
    removed = ::unlink(path.c_str()) == 0;
  }
  ::close(fd);
  return removed;
}

std::error_code syncDirectory(const fs::path& directory) {
  const int fd =
      ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return lastError();
  std::error_code error;
  if (::fsync(fd) != 0 && errno != EINVAL) error = lastError();
  ::close(fd);
  return error;
}

}  // namespace

fs::path homeDirectory() {
  if (auto home = environment("HOME")) return *home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
      result->pw_dir)
    return result->pw_dir;
  return "/";
}

fs::path configHome() {
  // Relative values are invalid for XDG variables and are ignored.
  if (auto config = environment("XDG_CONFIG_HOME"); config && fs::path(*config).is_absolute())
    return *config;
  return homeDirectory() / ".config";
}

std::optional<fs::path> documentsDirectory() {
  const fs::path home = homeDirectory();
  std::optional<fs::path> configured =
      userDirFromFile(configHome() / "user-dirs.dirs", "DOCUMENTS", home);
  if (!configured) {
    if (auto fromEnvironment = environment("XDG_DOCUMENTS_DIR");
        fromEnvironment && fs::path(*fromEnvironment).is_absolute())
      configured = fs::path(*fromEnvironment).lexically_normal();
  }
  // A directory set to the home folder itself means "none" for xdg-user-dirs.
  if (configured && !sameDirectory(*configured, home)) return configured;
  if (home.empty()) return std::nullopt;
  return home / "Documents";
}

bool isTemporaryOf(const fs::path& file, std::string_view name) {
  const std::string prefix = temporaryPrefix(file);
  if (name.size() != prefix.size() + kTemporarySuffixDigits || !name.starts_with(prefix))
    return false;
  for (const char c : name.substr(prefix.size()))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::vector<fs::path> removeStaleTemporaries(const std::vector<fs::path>& files,
                                             std::chrono::seconds minimumAge) {
  std::vector<fs::path> removed;
  for (const auto& file : files) {
    std::error_code error;
    for (auto it = fs::directory_iterator(file.parent_path(), error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
      if (isTemporaryOf(file, it->path().filename().string()) &&
          removeIfStale(it->path(), minimumAge))
        removed.push_back(it->path());
    }
  }
  return removed;
}

bool restrictToOwner(const fs::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || S_ISLNK(status.st_mode) ||
      status.st_uid != ::geteuid())
    return false;
  constexpr mode_t kGroupAndOthers = S_IRWXG | S_IRWXO;
  if ((status.st_mode & kGroupAndOthers) == 0) return true;
  return ::chmod(path.c_str(), status.st_mode & 07777 & ~kGroupAndOthers) == 0;
}

std::error_code writeAtomically(const fs::path& file, std::string_view bytes, fs::perms mode) {
  fs::path temporary;
  const int fd = openTemporary(file, mode & fs::perms::mask, temporary);
  if (fd < 0) return lastError();
  std::error_code error = writeAll(fd, bytes);
  if (!error && ::fsync(fd) != 0) error = lastError();
  if (::close(fd) != 0 && !error) error = lastError();
  if (!error && ::rename(temporary.c_str(), file.c_str()) != 0) error = lastError();
  if (error) {
    ::unlink(temporary.c_str());
    return error;
  }
  // The data is in place; a failed directory sync only weakens durability after a crash.
  (void)syncDirectory(file.parent_path());
  return {};
}

const std::error_category& readRefusalCategory() {
  class Category final : public std::error_category {
   public:
    const char* name() const noexcept override { return "quill-read"; }
    std::string message(int value) const override {
      switch (static_cast<ReadRefusal>(value)) {
        case ReadRefusal::notRegularFile:
          return "it is not a regular file";
        case ReadRefusal::tooLarge:
          return "it is too large";
      }
      return "it cannot be read";
    }
  };
  static const Category category;
  return category;
}

std::error_code make_error_code(ReadRefusal refusal) {
  return {static_cast<int>(refusal), readRefusalCategory()};
}

std::optional<std::string> readFile(const fs::path& file, std::error_code& error,
                                    std::size_t maximumBytes) {
  error.clear();
  // Non-blocking, so that a FIFO put in the file's place cannot hold the caller in open().
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = lastError();
    return std::nullopt;
  }
  const auto fail = [&](std::error_code reason) -> std::optional<std::string> {
    error = reason;
    ::close(fd);
    return std::nullopt;
  };
  struct stat status {};
  if (::fstat(fd, &status) != 0) return fail(lastError());
  if (!S_ISREG(status.st_mode)) return fail(ReadRefusal::notRegularFile);
  if (static_cast<std::uintmax_t>(status.st_size) > maximumBytes)
    return fail(ReadRefusal::tooLarge);
  std::string contents;
  contents.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(lastError());
    }
    if (n == 0) break;
    // The file may grow while it is read.
    if (contents.size() + static_cast<std::size_t>(n) > maximumBytes)
      return fail(ReadRefusal::tooLarge);
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return contents;
}

std::optional<fs::path> moveAside(const fs::path& file) {
  const std::string base = file.filename().string() + ".corrupt-" + timestamp();
  for (int n = 1; n < 1000; ++n) {
    const fs::path target = file.parent_path() / (n == 1 ? base : base + "-" + std::to_string(n));
    // Never replaces an earlier copy, even when two processes race for the same name.
    if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
      return target;
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return std::nullopt;
    // A file system without RENAME_NOREPLACE: link refuses to replace as well.
    if (::link(file.c_str(), target.c_str()) == 0) {
      ::unlink(file.c_str());
      return target;
    }
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace foundation::files
