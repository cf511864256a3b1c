#include "servicemanagement/DesktopEntry.h"

namespace servicemanagement {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text) {
  DesktopEntry entry;
  bool seenMain = false, inMain = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      // Only the first "[Desktop Entry]" counts; a repeated group makes the file invalid.
      inMain = line == "[Desktop Entry]";
      if (inMain && seenMain) return std::nullopt;
      seenMain = seenMain || inMain;
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || trim(line.substr(0, eq)).empty()) return std::nullopt;
    if (inMain)
      entry.values.emplace(std::string(trim(line.substr(0, eq))), trim(line.substr(eq + 1)));
  }
  if (!seenMain) return std::nullopt;
  return entry;
}

std::optional<std::string_view> DesktopEntry::value(std::string_view key) const {
  auto it = values.find(key);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<bool> DesktopEntry::boolean(std::string_view key) const {
  auto v = value(key);
  if (v == "true") return true;
  if (v == "false") return false;
  return std::nullopt;
}

std::string execArgument(std::string_view argument) {
  constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string quoted;
  if (argument.empty() || argument.find_first_of(reserved) != std::string_view::npos) {
    quoted += '"';
    for (char c : argument) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    quoted += '"';
  } else {
    quoted = argument;
  }
  std::string value;
  for (char c : quoted) {
    switch (c) {
      case '%':
        value += "%%";
        break;
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value += c;
    }
  }
  return value;
}

}  // namespace servicemanagement
