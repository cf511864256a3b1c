#pragma once

#include <string_view>

namespace shell {

// Hands a URL to whoever opens it: our own scenes for "quillcast" URLs, the desktop for web
// pages. True when it was taken.
class URLOpener {
 public:
  virtual ~URLOpener() = default;
  virtual bool open(std::string_view url) = 0;
};

}  // namespace shell
