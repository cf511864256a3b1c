#include "shell/InstanceMessage.h"

namespace shell {

std::string encodeInstanceMessage(const std::vector<std::string>& urls) {
  std::string message;
  for (const auto& url : urls) {
    if (url.empty() || url.find('\0') != std::string::npos) continue;
    message += url;
    message.push_back('\0');
  }
  return message;
}

std::vector<std::string> decodeInstanceMessage(std::string_view message) {
  std::vector<std::string> urls;
  if (message.size() > kMaxInstanceMessageBytes) return urls;
  std::size_t start = 0;
  for (std::size_t end = message.find('\0'); end != std::string_view::npos;
       start = end + 1, end = message.find('\0', start)) {
    if (end > start) urls.emplace_back(message.substr(start, end - start));
  }
  return urls;
}

}  // namespace shell
