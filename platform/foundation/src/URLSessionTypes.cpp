#include <algorithm>
#include <cctype>

#include "foundation/URLSession.h"

namespace foundation {

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
}

std::optional<std::string> URLRequest::value(const std::string& field) const {
  const auto it = allHTTPHeaderFields.find(field);
  if (it == allHTTPHeaderFields.end()) return std::nullopt;
  return it->second;
}

URLError URLError::make(Code code) {
  switch (code) {
    case Code::notConnectedToInternet:
      return {code, "The Internet connection appears to be offline."};
    case Code::cannotFindHost:
      return {code, "A server with the specified hostname could not be found."};
    case Code::cannotConnectToHost:
      return {code, "Could not connect to the server."};
    case Code::timedOut:
      return {code, "The request timed out."};
    case Code::cancelled:
      return {code, "cancelled"};
    case Code::networkConnectionLost:
      return {code, "The network connection was lost."};
    case Code::badServerResponse:
      return {code, "The server returned a bad response."};
    case Code::dataLengthExceedsMaximum:
      return {code, "The response is too large."};
    case Code::unknown:
      break;
  }
  return {Code::unknown, "The operation couldn't be completed."};
}

}  // namespace foundation
