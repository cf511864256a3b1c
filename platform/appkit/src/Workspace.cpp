#include "appkit/Workspace.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace appkit {

bool isOpenableURL(std::string_view url) {
  auto colon = url.find(':');
  if (colon == std::string_view::npos) return false;
  std::string scheme(url.substr(0, colon));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string_view rest = url.substr(colon + 1);
  if (std::any_of(url.begin(), url.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7f; }))
    return false;
  if (scheme == "http" || scheme == "https")
    return rest.size() > 2 && rest.substr(0, 2) == "//" && rest[2] != '/';
  if (scheme == "mailto") return !rest.empty();
  return false;
}

}  // namespace appkit
