#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace foundation::files {

// The folder named by `XDG_<key>_DIR="..."` in the text of a user-dirs.dirs file, as
// xdg-user-dirs writes it: "$HOME/..." (within `home`) or an absolute path, with backslash
// escapes, lexically normalised. The last such line wins, as when a shell sources the file.
// Lines of any other form are ignored, and so are values holding a NUL byte, which no path can.
std::optional<std::filesystem::path> userDirFromText(std::string_view text, std::string_view key,
                                                     const std::filesystem::path& home);

}  // namespace foundation::files
