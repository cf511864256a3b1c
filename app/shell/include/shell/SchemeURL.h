#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// The parts of an absolute "scheme://host/path?query#fragment" URL as written: no case is
// folded and nothing is decoded, so "quillcast://promptEditor" keeps its host's capital.
struct SchemeURL {
  std::string scheme;
  std::string host;
  std::string path;
  std::optional<std::string> query;
};
// Absent for text that is no such URL (no "://", an empty or malformed scheme, blanks or
// control characters).
std::optional<SchemeURL> parseSchemeURL(std::string_view text);

struct QueryItem {
  std::string name;
  std::optional<std::string> value;  // absent for an item without "="
  bool operator==(const QueryItem&) const = default;
};
// The query split at "&", each item at its first "=", names and values percent-decoded; "+"
// stays "+". Absent when a percent escape is malformed.
std::optional<std::vector<QueryItem>> parseQueryItems(std::string_view query);

}  // namespace shell
