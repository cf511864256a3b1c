// A release feed from the network: whatever the server sends, the releases taken from it have
// versions that read back alike and web links, the newest is not older than any, and version
// order is a total order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/URL.h"
#include "updater/ReleaseFeed.h"
#include "updater/Version.h"

namespace {

void checkOrder(const updater::Version& a, const updater::Version& b, const updater::Version& c) {
  if ((a <=> a) != 0 || (a < b) != (b > a) || ((a == b) != (b == a))) std::abort();
  if (a <= b && b <= c && !(a <= c)) std::abort();
}

// The feed's first lines, read as versions on their own.
void checkVersions(std::string_view text) {
  std::optional<updater::Version> versions[3];
  for (auto& version : versions) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    version = updater::Version::parse(text.substr(0, end));
    if (version) {
      if (version->text() != text.substr(0, end)) std::abort();
      // Missing parts count as zero; the leading "v" is only a mark.
      const auto longer = updater::Version::parse(version->text() + ".0");
      if (!longer || *longer != *version) std::abort();
    }
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  if (versions[0] && versions[1] && versions[2]) {
    checkOrder(*versions[0], *versions[1], *versions[2]);
    checkOrder(*versions[2], *versions[0], *versions[1]);
    checkOrder(*versions[1], *versions[2], *versions[0]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
  checkVersions(xml);
  const auto releases = updater::parseReleaseFeed(xml);
  if (!releases) return 0;
  for (const auto& release : *releases) {
    const auto again = updater::Version::parse(release.version.text());
    if (!again || *again != release.version) std::abort();
    const auto link = foundation::URL::parse(release.downloadURL);
    if (!link || (link->scheme() != "http" && link->scheme() != "https") || link->host().empty())
      std::abort();
  }
  const auto newest = updater::newestRelease(*releases);
  if (newest.has_value() != !releases->empty()) std::abort();
  for (const auto& release : *releases)
    if (release.version > newest->version) std::abort();
  return 0;
}
