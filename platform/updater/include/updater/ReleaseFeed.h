#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/Version.h"

namespace updater {

// One release the feed offers.
struct Release {
  Version version;
  std::string downloadURL;
};

// The releases of an RSS feed: each <item> with a <version> and a <link> (text or CDATA, the
// five XML entities and numeric references decoded). Items without a readable version or an
// http(s) link are passed over. Absent when the text is no RSS feed at all.
std::optional<std::vector<Release>> parseReleaseFeed(std::string_view xml);

// The release with the highest version, if any.
std::optional<Release> newestRelease(const std::vector<Release>& releases);

}  // namespace updater
