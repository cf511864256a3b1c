#include "shell/SchemeURL.h"

namespace shell {
namespace {

bool isSchemeChar(char c, bool first) {
  const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return alpha;
  return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hexValue(text[i + 1]);
    const int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

}  // namespace

std::optional<SchemeURL> parseSchemeURL(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return std::nullopt;
  }
  const std::size_t separator = text.find("://");
  if (separator == std::string_view::npos || separator == 0) return std::nullopt;
  for (std::size_t i = 0; i < separator; ++i) {
    if (!isSchemeChar(text[i], i == 0)) return std::nullopt;
  }
  SchemeURL url;
  url.scheme = std::string(text.substr(0, separator));
  std::string_view rest = text.substr(separator + 3);
  if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos)
    rest = rest.substr(0, hash);
  if (const std::size_t question = rest.find('?'); question != std::string_view::npos) {
    url.query = std::string(rest.substr(question + 1));
    rest = rest.substr(0, question);
  }
  const std::size_t slash = rest.find('/');
  url.host = std::string(rest.substr(0, slash));
  if (slash != std::string_view::npos) url.path = std::string(rest.substr(slash));
  return url;
}

std::optional<std::vector<QueryItem>> parseQueryItems(std::string_view query) {
  std::vector<QueryItem> items;
  if (query.empty()) return items;
  while (true) {
    const std::size_t amp = query.find('&');
    const std::string_view item = query.substr(0, amp);
    const std::size_t equals = item.find('=');
    auto name = percentDecode(item.substr(0, equals));
    if (!name) return std::nullopt;
    QueryItem parsed{std::move(*name), std::nullopt};
    if (equals != std::string_view::npos) {
      parsed.value = percentDecode(item.substr(equals + 1));
      if (!parsed.value) return std::nullopt;
    }
    items.push_back(std::move(parsed));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return items;
}

}  // namespace shell
