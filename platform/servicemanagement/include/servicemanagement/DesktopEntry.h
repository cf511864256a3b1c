#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace servicemanagement {

// The "[Desktop Entry]" group of a desktop file: keys to raw (still escaped) values. Other
// groups, comments and localized keys are not kept.
struct DesktopEntry {
  std::map<std::string, std::string, std::less<>> values;

  // Absent when the text has no "[Desktop Entry]" group or a line that is neither a group, a
  // comment, blank nor key=value.
  static std::optional<DesktopEntry> parse(std::string_view text);

  std::optional<std::string_view> value(std::string_view key) const;
  // A boolean key reads "true" or "false"; anything else counts as absent.
  std::optional<bool> boolean(std::string_view key) const;
};

// One Exec argument, quoted where it holds a reserved character, with '%' doubled and the
// string escapes of a desktop file value applied.
std::string execArgument(std::string_view argument);

}  // namespace servicemanagement
