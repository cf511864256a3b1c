#include "shell/InstanceMessage.h"

namespace shell {
namespace {

// Without "://", so that no URL a start passes on reads as it.
constexpr std::string_view kOpenPanelEntry = "open-panel";

}  // namespace

InstanceRequest requestFor(std::vector<std::string> urls) {
  const bool none = urls.empty();
  return {std::move(urls), none};
}

std::string encodeInstanceMessage(const InstanceRequest& request) {
  std::string message;
  if (request.openPanel) {
    message += kOpenPanelEntry;
    message.push_back('\0');
  }
  for (const auto& url : request.urls) {
    if (url.empty() || url.find('\0') != std::string::npos) continue;
    message += url;
    message.push_back('\0');
  }
  return message;
}

InstanceRequest decodeInstanceMessage(std::string_view message) {
  InstanceRequest request;
  if (message.size() > kMaxInstanceMessageBytes) return request;
  std::size_t start = 0;
  for (std::size_t end = message.find('\0'); end != std::string_view::npos;
       start = end + 1, end = message.find('\0', start)) {
    const auto entry = message.substr(start, end - start);
    if (entry == kOpenPanelEntry) {
      request.openPanel = true;
    } else if (entry.find("://") != std::string_view::npos) {
      request.urls.emplace_back(entry);
    }
  }
  return request;
}

}  // namespace shell
