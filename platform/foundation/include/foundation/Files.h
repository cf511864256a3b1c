#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace foundation::files {

// The user's documents folder: XDG_DOCUMENTS_DIR of user-dirs.dirs, else ~/Documents.
std::optional<std::filesystem::path> documentsDirectory();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path configHome();
// $HOME, else the password database's home.
std::filesystem::path homeDirectory();

// Writes through a temporary file in the same folder, fsyncs it and renames it over the target,
// so a reader sees the old file or the new one, never half of one.
std::error_code writeAtomically(const std::filesystem::path& file, std::string_view bytes,
                                std::filesystem::perms mode = std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::owner_write |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);

// Reads the whole file; absent on failure with the reason in `error`.
std::optional<std::string> readFile(const std::filesystem::path& file, std::error_code& error);

// Renames an unreadable file to "<name>.corrupt-<timestamp>" beside it and returns the new path.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file);

}  // namespace foundation::files
