#include "URLSessionHTTP.h"

#include <charconv>

namespace foundation::detail {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (isBlank(text.front()) || text.front() == '\r' || text.front() == '\n'))
    text.remove_prefix(1);
  while (!text.empty() && (isBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

ResponseHeadParser::Line ResponseHeadParser::feed(std::string_view line) {
  std::string_view content = line;
  while (!content.empty() && (content.back() == '\r' || content.back() == '\n'))
    content.remove_suffix(1);
  if (content.starts_with("HTTP/")) {
    reset();
    // "HTTP/1.1 200 OK", "HTTP/2 404"
    const auto space = content.find(' ');
    if (space == std::string_view::npos) return Line::ignored;
    const std::string_view rest = content.substr(space + 1);
    int code = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), code);
    const bool threeDigits = end - rest.data() == 3;
    if (error != std::errc() || !threeDigits || code < 100) return Line::ignored;
    statusCode_ = code;
    return Line::statusLine;
  }
  if (!hasStatus()) return Line::ignored;
  if (content.empty()) return Line::end;
  if (isBlank(content.front())) {
    // An obsolete folded continuation of the previous field.
    if (lastField_.empty()) return Line::ignored;
    auto& value = fields_[lastField_];
    value += ' ';
    value += trimmed(content);
    return Line::field;
  }
  const auto colon = content.find(':');
  if (colon == std::string_view::npos || colon == 0) return Line::ignored;
  std::string name(content.substr(0, colon));
  const std::string value(trimmed(content.substr(colon + 1)));
  const auto [it, inserted] = fields_.try_emplace(name, value);
  if (!inserted) {
    it->second += ", ";
    it->second += value;
  }
  lastField_ = it->first;
  return Line::field;
}

void ResponseHeadParser::reset() {
  statusCode_ = 0;
  fields_.clear();
  lastField_.clear();
}

HeaderFields mergedHeaderFields(const HeaderFields& own, const HeaderFields& additional) {
  HeaderFields merged = own;
  for (const auto& [name, value] : additional) merged.try_emplace(name, value);
  return merged;
}

bool isSupportedURL(const URL& url) {
  return (url.scheme() == "http" || url.scheme() == "https") && !url.host().empty();
}

bool isRedirectStatus(int statusCode) {
  return statusCode == 301 || statusCode == 302 || statusCode == 303 || statusCode == 307 ||
         statusCode == 308;
}

std::optional<URLRequest> redirectRequest(const URLRequest& previous,
                                          const HTTPURLResponse& redirect) {
  const auto location = redirect.allHeaderFields.find("Location");
  if (location == redirect.allHeaderFields.end() || location->second.empty()) return std::nullopt;
  auto target = URL::parse(location->second, previous.url);
  if (!target || !target->isAbsolute()) return std::nullopt;

  URLRequest next = previous;
  next.url = *target;
  const int status = redirect.statusCode;
  const bool toGet = (status == 303 && previous.httpMethod != "HEAD") ||
                     ((status == 301 || status == 302) && previous.httpMethod == "POST");
  if (toGet) {
    next.httpMethod = "GET";
    next.httpBody.reset();
    for (const char* field : {"Content-Type", "Content-Length", "Content-Encoding"})
      next.allHTTPHeaderFields.erase(field);
  }
  if (!target->hasSameOrigin(previous.url)) {
    for (const char* field : {"Authorization", "Proxy-Authorization", "Cookie"})
      next.allHTTPHeaderFields.erase(field);
  }
  return next;
}

}  // namespace foundation::detail
