#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ui/Geometry.h"
#include "ui/View.h"

namespace appkit {

// What an ordinary titled window is made of. `content` is asked for a fresh view tree each time
// the window is made, so a window opened again starts from its first state.
struct WindowDescription {
  std::string title;
  ui::Size minimumSize;          // 0 in a dimension: no minimum there
  std::optional<ui::Size> size;  // first size; else the content's
  std::function<ui::AnyView()> content;
};

// An ordinary titled window of the program (settings, prompt editor, onboarding). Closing it
// destroys it; the object itself may outlive the window (a weak handle that was locked), in which
// case every call does nothing. Main thread only.
class Window {
 public:
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const std::string& name() const { return name_; }
  // False once the window has been closed.
  bool isOpen() const;
  std::string title() const;
  void setTitle(const std::string& title);
  ui::Size minimumSize() const;
  ui::Rect frame() const;
  bool isKey() const;
  // Brings it in front on the current desktop and gives it the keyboard.
  void makeKeyAndOrderFront();
  void close();
  std::uint32_t windowId() const;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  friend class WindowRegistry;
  Window(std::string name, const WindowDescription& description);
  std::string name_;
  std::unique_ptr<Impl> impl_;
};

// The program's titled windows by name, at most one each: open() makes the window or brings the
// open one forward. Handles are weak: a window the user closed is gone, and a delayed block that
// holds a handle finds it expired. Main thread only; needs an Application.
class WindowRegistry {
 public:
  WindowRegistry();
  ~WindowRegistry();
  WindowRegistry(const WindowRegistry&) = delete;
  WindowRegistry& operator=(const WindowRegistry&) = delete;

  void declare(const std::string& name, WindowDescription description);
  bool isDeclared(const std::string& name) const;

  // Makes the window (or finds the open one), brings it in front and activates it. Expired for
  // a name that was never declared.
  std::weak_ptr<Window> open(const std::string& name);
  std::weak_ptr<Window> window(const std::string& name) const;
  bool isOpen(const std::string& name) const;
  void close(const std::string& name);

  // The name of our window that has the keyboard, if one has.
  std::optional<std::string> keyWindowName() const;
  // "Close this window": closes the window that has the keyboard; false when none of ours has.
  bool closeKeyWindow();

 private:
  void forget(const std::string& name, const Window* window);
  std::map<std::string, WindowDescription> descriptions_;
  std::map<std::string, std::shared_ptr<Window>> open_;
  std::shared_ptr<bool> alive_;
};

}  // namespace appkit
