#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace appkit {

// The application a window in front belongs to.
struct RunningApplication {
  int processIdentifier = -1;  // -1 when the window does not tell
  std::uint32_t windowId = 0;  // the X11 window; 0 when there is none
  bool operator==(const RunningApplication&) const = default;
};

// Only web pages and mail addresses are handed to the desktop: no files, no programs, no URL
// with blanks or control characters.
bool isOpenableURL(std::string_view url);

// The desktop: which application is in front, bringing it back to the front, opening URLs.
// Thread-safe.
class Workspace {
 public:
  virtual ~Workspace() = default;

  // The application in front. The windows of this program never count as in front: while one
  // of them is, the application remembered last is returned.
  virtual std::optional<RunningApplication> frontmostApplication() = 0;
  // Remembers the application in front (when the hot key fires, before the panel shows) so
  // that later work can go back to it; returns it.
  virtual std::optional<RunningApplication> rememberFrontmostApplication() = 0;
  virtual std::optional<RunningApplication> rememberedApplication() = 0;

  // Brings the application's window to the front and gives it the keyboard. False when that
  // could not be done (the window is gone, or the window manager refused in time).
  virtual bool activate(const RunningApplication& application) = 0;

  // Told whether the desktop's handler reported success, once it has finished; on a thread of
  // the workspace's own, since a handler may run as long as the browser it started.
  using OpenFinished = std::function<void(bool opened)>;

  // Opens the URL with the desktop's handler without waiting for it. False for URLs that are
  // not openable and when no handler could be started; `finished` is then never called.
  virtual bool openURL(std::string_view url, OpenFinished finished = {}) = 0;
};

}  // namespace appkit
