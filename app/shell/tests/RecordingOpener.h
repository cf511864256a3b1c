#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/URLOpener.h"

namespace shell {

// Records the URLs it is handed and answers with `succeeds`.
struct RecordingOpener : URLOpener {
  std::vector<std::string> opened;
  bool succeeds = true;
  bool open(std::string_view url) override {
    opened.emplace_back(url);
    return succeeds;
  }
};

}  // namespace shell
