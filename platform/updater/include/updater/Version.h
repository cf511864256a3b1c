#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

// A dotted release number such as "1.2" or "1.10.3"; missing parts count as zero, so "1.2"
// equals "1.2.0". A leading "v" is allowed.
class Version {
 public:
  static std::optional<Version> parse(std::string_view text);

  const std::string& text() const { return text_; }
  std::strong_ordering operator<=>(const Version& other) const;
  bool operator==(const Version& other) const { return (*this <=> other) == 0; }

 private:
  std::string text_;
  std::vector<unsigned long> parts_;
};

}  // namespace updater
