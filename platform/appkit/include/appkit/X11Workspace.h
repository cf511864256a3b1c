#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "appkit/Workspace.h"

namespace appkit {

struct X11WorkspaceOptions {
  std::string displayName;  // empty: $DISPLAY
  int ownProcessId = -1;    // -1: this process
  std::string opener = "xdg-open";
  // How long activate() waits for the window manager to bring a window to the front.
  std::chrono::milliseconds activationTimeout{300};
};

// The front window from _NET_ACTIVE_WINDOW (or, without a window manager, the input focus) and
// its application from _NET_WM_PID; URLs go to xdg-open, whose exit status a thread of its own
// waits for. activate() may wait up to the activation time-out.
class X11Workspace : public Workspace {
 public:
  explicit X11Workspace(X11WorkspaceOptions options = {});
  ~X11Workspace() override;

  bool ok() const;

  std::optional<RunningApplication> frontmostApplication() override;
  std::optional<RunningApplication> rememberFrontmostApplication() override;
  std::optional<RunningApplication> rememberedApplication() override;
  bool activate(const RunningApplication& application) override;
  bool openURL(std::string_view url, OpenFinished finished = {}) override;

 private:
  struct Display;
  std::optional<RunningApplication> windowInFront();
  bool hasKeyboard(std::uint32_t window);

  X11WorkspaceOptions options_;
  std::mutex mutex_;
  std::unique_ptr<Display> display_;
  std::optional<RunningApplication> remembered_;
};

}  // namespace appkit
