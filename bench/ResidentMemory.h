#pragma once

#include <fstream>
#include <string>

namespace bench {

// This process's resident memory and its anonymous part, in MB, as the kernel counts them.
struct ResidentMemory {
  double rss = 0, anon = 0;
};

inline ResidentMemory residentMemory() {
  std::ifstream status("/proc/self/status");
  ResidentMemory m;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) m.rss = std::stod(line.substr(6)) / 1024;
    if (line.rfind("RssAnon:", 0) == 0) m.anon = std::stod(line.substr(8)) / 1024;
  }
  return m;
}

}  // namespace bench
