#pragma once

#include <string>
#include <string_view>

namespace shell {

// The product's web site; its pages are handed to the browser.
inline constexpr std::string_view kProductSite = "https://quillcast.app";

inline std::string productPage(std::string_view path) {
  return std::string(kProductSite) + std::string(path);
}

}  // namespace shell
