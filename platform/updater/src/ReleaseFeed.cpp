#include "updater/ReleaseFeed.h"

#include <algorithm>
#include <charconv>

#include "foundation/URL.h"

namespace updater {
namespace {

bool isNameEnd(char c) {
  return c == '>' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/';
}

// Position of the start tag `<name ...>` at or after `from`, and the position just past it.
std::optional<std::pair<std::size_t, std::size_t>> findStartTag(std::string_view xml,
                                                                std::string_view name,
                                                                std::size_t from) {
  while (true) {
    const std::size_t open = xml.find('<', from);
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t nameEnd = open + 1 + name.size();
    if (xml.compare(open + 1, name.size(), name) == 0 && nameEnd < xml.size() &&
        isNameEnd(xml[nameEnd])) {
      const std::size_t close = xml.find('>', nameEnd);
      if (close == std::string_view::npos) return std::nullopt;
      return std::make_pair(open, close + 1);
    }
    from = open + 1;
  }
}

// Entities and CDATA sections resolved; surrounding white space removed.
std::string decodeText(std::string_view raw) {
  std::string out;
  std::size_t i = 0;
  while (i < raw.size()) {
    if (raw.compare(i, 9, "<![CDATA[") == 0) {
      const std::size_t end = raw.find("]]>", i + 9);
      const std::size_t stop = end == std::string_view::npos ? raw.size() : end;
      out.append(raw.substr(i + 9, stop - i - 9));
      i = end == std::string_view::npos ? raw.size() : end + 3;
      continue;
    }
    if (raw[i] == '&') {
      const std::size_t semi = raw.find(';', i);
      if (semi != std::string_view::npos && semi - i <= 8) {
        const std::string_view entity = raw.substr(i + 1, semi - i - 1);
        static constexpr std::pair<std::string_view, char> kNamed[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool decoded = false;
        for (const auto& [name, c] : kNamed) {
          if (entity == name) {
            out.push_back(c);
            decoded = true;
          }
        }
        if (!decoded && entity.size() > 1 && entity[0] == '#') {
          const bool hex = entity[1] == 'x' || entity[1] == 'X';
          const std::string_view digits = entity.substr(hex ? 2 : 1);
          unsigned value = 0;
          auto [end, ec] =
              std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
          // Versions and links are ASCII; other references stay as written.
          if (ec == std::errc() && end == digits.data() + digits.size() && value > 0 &&
              value < 0x80) {
            out.push_back(static_cast<char>(value));
            decoded = true;
          }
        }
        if (decoded) {
          i = semi + 1;
          continue;
        }
      }
    }
    out.push_back(raw[i]);
    ++i;
  }
  const auto notSpace = [](char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; };
  const auto first = std::find_if(out.begin(), out.end(), notSpace);
  const auto last = std::find_if(out.rbegin(), out.rend(), notSpace).base();
  return first < last ? std::string(first, last) : std::string();
}

// The text of the first `<name>` element inside `xml`.
std::optional<std::string> elementText(std::string_view xml, std::string_view name) {
  const auto tag = findStartTag(xml, name, 0);
  if (!tag) return std::nullopt;
  if (xml[tag->second - 2] == '/') return std::string();  // <name/>
  const std::string closing = "</" + std::string(name);
  const std::size_t end = xml.find(closing, tag->second);
  if (end == std::string_view::npos) return std::nullopt;
  return decodeText(xml.substr(tag->second, end - tag->second));
}

bool isWebLink(const std::string& text) {
  const auto url = foundation::URL::parse(text);
  return url && (url->scheme() == "http" || url->scheme() == "https") && !url->host().empty();
}

}  // namespace

std::optional<std::vector<Release>> parseReleaseFeed(std::string_view xml) {
  if (!findStartTag(xml, "rss", 0) || !findStartTag(xml, "channel", 0)) return std::nullopt;
  std::vector<Release> releases;
  std::size_t from = 0;
  while (const auto item = findStartTag(xml, "item", from)) {
    const std::size_t end = xml.find("</item>", item->second);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view body = xml.substr(item->second, end - item->second);
    from = end + 7;
    const auto versionText = elementText(body, "version");
    const auto link = elementText(body, "link");
    if (!versionText || !link || !isWebLink(*link)) continue;
    if (auto version = Version::parse(*versionText)) releases.push_back({*version, *link});
  }
  return releases;
}

std::optional<Release> newestRelease(const std::vector<Release>& releases) {
  const auto it =
      std::max_element(releases.begin(), releases.end(),
                       [](const Release& a, const Release& b) { return a.version < b.version; });
  if (it == releases.end()) return std::nullopt;
  return *it;
}

}  // namespace updater
