#include <syslog.h>
#include <unistd.h>

#include <cstdio>

#include "loginitem/Log.h"

namespace loginitem {

SystemLog::SystemLog(std::string subsystem, std::string category)
    : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

std::string SystemLog::line(std::string_view level, std::string_view message) const {
  std::string text = subsystem_ + "[" + category_ + "] ";
  text.append(level).append(": ").append(message);
  return text;
}

void SystemLog::error(std::string_view message) {
  const std::string text = line("error", message);
  if (::access("/dev/log", W_OK) == 0) {
    // No openlog(): it would change the identity for the whole process.
    ::syslog(LOG_USER | LOG_ERR, "%s", text.c_str());
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

}  // namespace loginitem
