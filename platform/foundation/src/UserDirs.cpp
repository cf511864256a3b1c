#include "foundation/UserDirs.h"

#include <string>

namespace foundation::files {

namespace {

// The value of one line, or nothing when the line is not of the form.
std::optional<std::filesystem::path> valueOfLine(std::string_view line, std::string_view prefix,
                                                 const std::filesystem::path& home) {
  std::size_t i = line.find_first_not_of(" \t");
  if (i == std::string_view::npos || line.compare(i, prefix.size(), prefix) != 0)
    return std::nullopt;
  i += prefix.size();
  if (i >= line.size() || line[i] != '"') return std::nullopt;
  ++i;
  bool relativeToHome = false;
  if (line.compare(i, 5, "$HOME") == 0) {
    relativeToHome = true;
    i += 5;
    if (i < line.size() && line[i] != '/' && line[i] != '"') return std::nullopt;
  } else if (i >= line.size() || line[i] != '/') {
    return std::nullopt;
  }
  std::string value;
  for (; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      value += line[++i];
    } else if (line[i] == '"') {
      // The system would cut the name at a NUL and take another folder.
      if (value.find('\0') != std::string::npos) return std::nullopt;
      const std::filesystem::path path = relativeToHome
                                             ? std::filesystem::path(home.string() + value)
                                             : std::filesystem::path(value);
      return path.lexically_normal();
    } else {
      value += line[i];
    }
  }
  return std::nullopt;  // never closed
}

}  // namespace

std::optional<std::filesystem::path> userDirFromText(std::string_view text, std::string_view key,
                                                     const std::filesystem::path& home) {
  const std::string prefix = "XDG_" + std::string(key) + "_DIR=";
  std::optional<std::filesystem::path> found;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (auto value = valueOfLine(line, prefix, home)) found = std::move(value);
  }
  return found;
}

}  // namespace foundation::files
