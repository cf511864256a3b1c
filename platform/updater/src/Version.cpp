#include "updater/Version.h"

#include <algorithm>
#include <charconv>

namespace updater {

std::optional<Version> Version::parse(std::string_view text) {
  std::string_view rest = text;
  if (!rest.empty() && (rest.front() == 'v' || rest.front() == 'V')) rest.remove_prefix(1);
  if (rest.empty()) return std::nullopt;
  Version version;
  version.text_ = std::string(text);
  while (true) {
    unsigned long part = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), part);
    if (ec != std::errc() || end == rest.data()) return std::nullopt;
    version.parts_.push_back(part);
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    if (rest.empty()) break;
    if (rest.front() != '.') return std::nullopt;
    rest.remove_prefix(1);
  }
  return version;
}

std::strong_ordering Version::operator<=>(const Version& other) const {
  const std::size_t n = std::max(parts_.size(), other.parts_.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned long a = i < parts_.size() ? parts_[i] : 0;
    const unsigned long b = i < other.parts_.size() ? other.parts_[i] : 0;
    if (a != b) return a <=> b;
  }
  return std::strong_ordering::equal;
}

}  // namespace updater
