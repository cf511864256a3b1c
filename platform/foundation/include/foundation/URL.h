#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// An RFC 3986 URL reference. Absolute URLs and references relative to a base both parse;
// a relative one keeps its base and resolves against it.
class URL {
 public:
  // Absent for text that is no URL reference: empty, or holding spaces or control characters.
  static std::optional<URL> parse(std::string_view text);
  // `text` resolved against `base` when it is relative (the base itself must be absolute).
  static std::optional<URL> parse(std::string_view text, const URL& base);

  // The resolved text; for a relative reference without a base, the reference itself.
  const std::string& absoluteString() const { return absolute_; }
  // The text as given.
  const std::string& relativeString() const { return relative_; }
  bool isAbsolute() const { return !scheme_.empty(); }

  const std::string& scheme() const { return scheme_; }  // lower case; empty when relative
  const std::string& host() const { return host_; }      // lower case
  std::optional<int> port() const { return port_; }      // as written
  int effectivePort() const;                             // the scheme's default when absent
  const std::string& path() const { return path_; }
  std::optional<std::string> query() const { return query_; }
  std::optional<std::string> fragment() const { return fragment_; }

  // Same scheme, host and effective port.
  bool hasSameOrigin(const URL& other) const;

  bool operator==(const URL& other) const { return absolute_ == other.absolute_; }

 private:
  std::string absolute_;
  std::string relative_;
  std::string scheme_;
  std::string host_;
  std::optional<int> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

}  // namespace foundation
