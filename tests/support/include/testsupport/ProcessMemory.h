#pragma once

#include <cstddef>
#include <fstream>
#include <string>

namespace testsupport {

// This process's memory as the kernel counts it (/proc/self/status), in bytes; 0 when unknown.
inline std::size_t statusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) != 0) continue;
    return std::stoull(line.substr(field.size() + 1)) * 1024;  // "VmRSS:   1234 kB"
  }
  return 0;
}

inline std::size_t residentBytes() {
  return statusBytes("VmRSS");
}

// The highest resident size since the last resetPeakResidentBytes (or since the start).
inline std::size_t peakResidentBytes() {
  return statusBytes("VmHWM");
}

// Lets the peak start again from the present size.
inline void resetPeakResidentBytes() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace testsupport
