#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace appkit {

// The desktop application of this process: it owns the Qt application object and its event
// loop, which also drains the main queue (foundation::DispatchQueue::main()). Closing the last
// window does not end it; terminate() does, and so do SIGTERM, SIGINT and SIGHUP, which end the
// loop as terminate(0) would (a second one ends the process at once). One per process, made and
// used on the main thread.
class Application {
 public:
  // Why no desktop session can be used, as one line for the user; absent when one can. Without
  // DISPLAY (also under Wayland without XWayland) or when the X server cannot be reached. Asks
  // nothing of Qt, so it is safe before any Qt object exists. A QT_QPA_PLATFORM other than xcb
  // (offscreen rendering) needs no display.
  static std::optional<std::string> displayProblem();

  // The application, or none after writing displayProblem() as one line to standard error,
  // prefixed with the program's name.
  static std::unique_ptr<Application> create(int& argc, char** argv,
                                             const std::string& programName = "quillcast");
  // The one application, or null before create() or after its end.
  static Application* shared();

  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs the event loop until terminate(); `didFinishLaunching` runs once the loop runs.
  // Returns the exit code given to terminate().
  int run(std::function<void()> didFinishLaunching = {});
  void terminate(int exitCode = 0);

  // Runs on the main thread when the program is about to end, before run() returns, whatever
  // ended it (also when the X connection broke and Qt ends the process from inside the loop), and
  // also when the desktop session asks its programs to save their work before it ends (the session
  // may then go on, so it may run more than once).
  void onWillTerminate(std::function<void()> handler);

  // Whether a compositing manager runs on the display now (translucent windows blend).
  bool isCompositing() const;
  // True when windows are real X11 windows (not rendered offscreen).
  bool isX11() const;

 private:
  Application(int& argc, char** argv);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace appkit
