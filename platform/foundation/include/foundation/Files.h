#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace foundation::files {

// The user's documents folder: XDG_DOCUMENTS_DIR of user-dirs.dirs, else ~/Documents.
std::optional<std::filesystem::path> documentsDirectory();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path configHome();
// $HOME, else the password database's home.
std::filesystem::path homeDirectory();

// Writes through a temporary file in the same folder, fsyncs it and renames it over the target,
// so a reader sees the old file or the new one, never half of one. The temporary file,
// ".<name>.tmp-<16 hex digits>", is locked (flock) while it is written.
std::error_code writeAtomically(const std::filesystem::path& file, std::string_view bytes,
                                std::filesystem::perms mode = std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::owner_write |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);

// Why readFile refused a file that exists.
enum class ReadRefusal {
  notRegularFile = 1,  // a FIFO, device, socket or folder: reading it may block or never end
  tooLarge,
};
const std::error_category& readRefusalCategory();
std::error_code make_error_code(ReadRefusal refusal);

inline constexpr std::size_t kDefaultReadLimit = 16 * 1024 * 1024;

// Reads the whole file, a regular one only and of at most `maximumBytes`; absent on failure with
// the reason in `error`. Never blocks on what is not a regular file (a FIFO, a terminal).
std::optional<std::string> readFile(const std::filesystem::path& file, std::error_code& error,
                                    std::size_t maximumBytes = kDefaultReadLimit);

// Renames an unreadable file to "<name>.corrupt-<timestamp>" beside it and returns the new path.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file);

// A file of ours that could not be read at start: where its copy went, or none when it could not
// be moved aside either (then it is left as it is and never written over).
struct UnreadableFile {
  std::filesystem::path file;
  std::optional<std::filesystem::path> copy;
  std::string reason;

  bool operator==(const UnreadableFile&) const = default;
};

// Takes the group's and others' permissions from a file or folder of the user's own; symbolic
// links and what belongs to someone else are left alone. True when the entry is private now.
bool restrictToOwner(const std::filesystem::path& path);

// Removes the temporary files that writeAtomically left beside one of `files` when it was
// stopped midway (a crash, kill -9): those older than `minimumAge` that no writer holds.
// Returns the paths removed.
std::vector<std::filesystem::path> removeStaleTemporaries(
    const std::vector<std::filesystem::path>& files,
    std::chrono::seconds minimumAge = std::chrono::seconds(60));

// Whether `name` is the name writeAtomically gives the temporary files of `file`.
bool isTemporaryOf(const std::filesystem::path& file, std::string_view name);

}  // namespace foundation::files

template <>
struct std::is_error_code_enum<foundation::files::ReadRefusal> : std::true_type {};
