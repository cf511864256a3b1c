#include <cstdio>
#include <mutex>

#include "ui/SystemEnvironment.h"

namespace ui {

namespace {
struct DesktopOpener {
  std::mutex mutex;
  OpenURLAction::Handler handler;
  static DesktopOpener& shared() {
    static DesktopOpener opener;
    return opener;
  }
};
}  // namespace

void OpenURLAction::operator()(const foundation::URL& url) const {
  if (handler_) handler_(url);
}

OpenURLAction OpenURLAction::system() {
  static const OpenURLAction action([](const foundation::URL& url) {
    const auto& scheme = url.scheme();
    if (scheme != "http" && scheme != "https" && scheme != "mailto") {
      // Links come from untrusted text; other schemes could start local handlers.
      std::fprintf(stderr, "Not opening a link that is not http, https or mailto: %s\n",
                   url.absoluteString().c_str());
      return;
    }
    Handler opener;
    {
      auto& d = DesktopOpener::shared();
      std::lock_guard lock(d.mutex);
      opener = d.handler;
    }
    if (opener) opener(url);
  });
  return action;
}

void OpenURLAction::setDesktopOpener(Handler opener) {
  auto& d = DesktopOpener::shared();
  std::lock_guard lock(d.mutex);
  d.handler = std::move(opener);
}

}  // namespace ui
