#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/Geometry.h"
#include "ui/View.h"

namespace foundation {
class UserDefaults;
}

namespace appkit {

// The floating panel: a frameless utility window that stays above other applications' windows,
// stays off the taskbar and pager, and opens on the current desktop. Its background is the dark
// visual-effect material, clipped to rounded corners (radius 10): translucent where a compositor
// runs, opaque with a rounded window shape where none does. It is dragged by its background and
// resized by grips along its edges. Closing hides it; the object and its content live on.
// Needs an Application. Main thread only.
class Panel {
 public:
  static constexpr double cornerRadius = 10;

  // The content rectangle's size is the panel's first size; its origin is where it first opens
  // unless center() or a saved frame moves it.
  explicit Panel(ui::Rect contentRect);
  ~Panel();
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  void setTitle(const std::string& title);  // not shown; the window's name for the desktop
  std::string title() const;
  void setContent(ui::AnyView content);
  void setMinimumSize(ui::Size size);

  // Builds, while nothing waits for it, what the first show would otherwise build: the native
  // window, the content's layout and controls, the fonts and glyphs it draws (it is painted
  // once off screen) and the window's backing store. Nothing is shown. Does nothing while the
  // panel is shown.
  void prepare();
  // Shows the panel in front on the current desktop and gives it the keyboard: orderFront(),
  // then makeKey().
  void show(std::uint32_t userTime = 0);
  // Shows the panel in front on the current desktop.
  void orderFront();
  // Gives the shown panel the keyboard. `userTime` is the X server time of the input that asked
  // for it (the hot key's), so that the window manager's focus-stealing prevention lets it
  // through; 0 when unknown.
  void makeKey(std::uint32_t userTime = 0);
  // Hides it. Never reports a lost activation.
  void close();
  bool isVisible() const;
  // Whether the panel has the keyboard.
  bool isKey() const;

  // Called (on a later turn of the event loop) when the panel was active and another window
  // became active: another application's, or another window of ours, but not one of the
  // panel's own popups. Not called for the panel's own close(). The handler may close the
  // panel; a loss reported while the handler runs is dropped.
  void setLostActivationHandler(std::function<void()> handler);

  // Screen pixels, outer frame.
  ui::Rect frame() const;
  void setFrame(ui::Rect frame);
  // Centres the panel on the screen the pointer is on.
  void center();
  // The work areas of the screens, the one the pointer is on first.
  static std::vector<ui::Rect> screens();
  // Keeps the current frame in the defaults under `name`.
  void saveFrame(const std::string& name, foundation::UserDefaults& defaults);
  void saveFrame(const std::string& name);
  // Moves the panel to the frame saved under `name`, clamped to the visible screens; false (and
  // nothing moves) when there is none.
  bool setFrameUsingName(const std::string& name, const foundation::UserDefaults& defaults);
  bool setFrameUsingName(const std::string& name);

  // The X11 window; 0 while it has none or without X11.
  std::uint32_t windowId() const;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace appkit
