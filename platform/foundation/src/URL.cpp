#include "foundation/URL.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace foundation {
namespace {

struct Parts {
  std::optional<std::string> scheme;
  std::optional<std::string> authority;
  std::string path;
  std::optional<std::string> query;
  std::optional<std::string> fragment;
};

bool isHex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Characters that never stand unescaped in a URL reference.
bool isAllowed(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return false;
  switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return false;
    default:
      return true;
  }
}

bool isWellFormed(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!isAllowed(static_cast<unsigned char>(text[i]))) return false;
    if (text[i] == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])))
      return false;
  }
  return true;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

Parts split(std::string_view text) {
  Parts parts;
  std::size_t i = 0;
  // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
  if (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0]))) {
    std::size_t j = 1;
    while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) ||
                               text[j] == '+' || text[j] == '-' || text[j] == '.'))
      ++j;
    if (j < text.size() && text[j] == ':') {
      parts.scheme = std::string(text.substr(0, j));
      i = j + 1;
    }
  }
  if (text.substr(i, 2) == "//") {
    const std::size_t end = text.find_first_of("/?#", i + 2);
    parts.authority =
        std::string(text.substr(i + 2, end == std::string_view::npos ? end : end - i - 2));
    i = end == std::string_view::npos ? text.size() : end;
  }
  const std::size_t pathEnd = std::min(text.find_first_of("?#", i), text.size());
  parts.path = std::string(text.substr(i, pathEnd - i));
  i = pathEnd;
  if (i < text.size() && text[i] == '?') {
    const std::size_t end = std::min(text.find('#', i), text.size());
    parts.query = std::string(text.substr(i + 1, end - i - 1));
    i = end;
  }
  if (i < text.size() && text[i] == '#') parts.fragment = std::string(text.substr(i + 1));
  return parts;
}

std::string removeDotSegments(std::string input) {
  std::string output;
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.erase(0, 3);
    } else if (input.starts_with("./")) {
      input.erase(0, 2);
    } else if (input.starts_with("/./")) {
      input.erase(0, 2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../") || input == "/..") {
      input = input.size() == 3 ? "/" : input.substr(3);
      const std::size_t slash = output.rfind('/');
      output.erase(slash == std::string::npos ? 0 : slash);
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      const std::size_t next = input.find('/', input[0] == '/' ? 1 : 0);
      output += input.substr(0, next);
      input.erase(0, next == std::string::npos ? input.size() : next);
    }
  }
  return output;
}

std::string join(const Parts& p) {
  std::string out;
  if (p.scheme) out += *p.scheme + ":";
  if (p.authority) out += "//" + *p.authority;
  out += p.path;
  if (p.query) out += "?" + *p.query;
  if (p.fragment) out += "#" + *p.fragment;
  return out;
}

// RFC 3986, section 5.2.2.
Parts resolve(const Parts& base, const Parts& ref) {
  Parts t;
  if (ref.scheme) {
    t = ref;
    t.path = removeDotSegments(ref.path);
    return t;
  }
  t.scheme = base.scheme;
  t.fragment = ref.fragment;
  if (ref.authority) {
    t.authority = ref.authority;
    t.path = removeDotSegments(ref.path);
    t.query = ref.query;
    return t;
  }
  t.authority = base.authority;
  if (ref.path.empty()) {
    t.path = base.path;
    t.query = ref.query ? ref.query : base.query;
    return t;
  }
  if (ref.path[0] == '/') {
    t.path = removeDotSegments(ref.path);
  } else {
    std::string merged;
    if (base.authority && base.path.empty()) {
      merged = "/" + ref.path;
    } else {
      const std::size_t slash = base.path.rfind('/');
      merged = (slash == std::string::npos ? "" : base.path.substr(0, slash + 1)) + ref.path;
    }
    t.path = removeDotSegments(merged);
  }
  t.query = ref.query;
  return t;
}

}  // namespace

std::optional<URL> URL::parse(std::string_view text) {
  if (!isWellFormed(text)) return std::nullopt;
  const Parts parts = split(text);
  URL url;
  url.relative_ = std::string(text);
  url.absolute_ = url.relative_;
  if (parts.scheme) url.scheme_ = lower(*parts.scheme);
  if (parts.authority) {
    std::string hostPort = *parts.authority;
    if (const auto at = hostPort.rfind('@'); at != std::string::npos) hostPort.erase(0, at + 1);
    std::size_t colon = std::string::npos;
    if (hostPort.starts_with("[")) {
      const std::size_t close = hostPort.find(']');
      if (close == std::string::npos) return std::nullopt;
      if (close + 1 < hostPort.size()) {
        if (hostPort[close + 1] != ':') return std::nullopt;
        colon = close + 1;
      }
    } else {
      colon = hostPort.rfind(':');
    }
    if (colon != std::string::npos) {
      const std::string digits = hostPort.substr(colon + 1);
      if (!digits.empty()) {
        if (digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit))
          return std::nullopt;
        int port = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (port > 65535) return std::nullopt;
        url.port_ = port;
      }
      hostPort.erase(colon);
    }
    url.host_ = lower(hostPort);
  }
  url.path_ = parts.path;
  url.query_ = parts.query;
  url.fragment_ = parts.fragment;
  return url;
}

std::optional<URL> URL::parse(std::string_view text, const URL& base) {
  if (!isWellFormed(text)) return std::nullopt;
  if (!base.isAbsolute()) return parse(text);
  auto resolved = parse(join(resolve(split(base.absolute_), split(text))));
  if (resolved) resolved->relative_ = std::string(text);
  return resolved;
}

int URL::effectivePort() const {
  if (port_) return *port_;
  if (scheme_ == "http" || scheme_ == "ws") return 80;
  if (scheme_ == "https" || scheme_ == "wss") return 443;
  return -1;
}

bool URL::hasSameOrigin(const URL& other) const {
  return scheme_ == other.scheme_ && host_ == other.host_ &&
         effectivePort() == other.effectivePort();
}

}  // namespace foundation
