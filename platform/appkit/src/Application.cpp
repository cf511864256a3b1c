#include "appkit/Application.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "X11WindowHints.h"
#include "ui/qt/MainQueueBridge.h"

namespace appkit {
namespace {

Application* sharedApplication = nullptr;

bool usesX11Platform() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (!platform || !*platform) return true;
  std::string_view name(platform);
  return name == "xcb" || name.starts_with("xcb:");
}

}  // namespace

struct Application::Impl {
  std::unique_ptr<QApplication> qt;
};

std::optional<std::string> Application::displayProblem() {
  if (!usesX11Platform()) return std::nullopt;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland)
      return "this Wayland session offers no X11 display (XWayland is not running); Quillcast "
             "needs X11";
    return "no X11 display: DISPLAY is not set; start Quillcast in an X11 desktop session";
  }
  xcb_connection_t* connection = xcb_connect(display, nullptr);
  const bool failed = xcb_connection_has_error(connection);
  xcb_disconnect(connection);
  if (failed) return std::string("cannot open the X11 display \"") + display + "\"";
  return std::nullopt;
}

std::unique_ptr<Application> Application::create(int& argc, char** argv,
                                                 const std::string& programName) {
  if (auto problem = displayProblem()) {
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), problem->c_str());
    return nullptr;
  }
  // Under Wayland with XWayland, windows still go through X11: the panel's placement, the tray
  // and the hot key need it.
  ::setenv("QT_QPA_PLATFORM", "xcb", 0);
  return std::unique_ptr<Application>(new Application(argc, argv));
}

Application* Application::shared() {
  return sharedApplication;
}

Application::Application(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  impl_->qt = std::make_unique<QApplication>(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ui::qt::installMainQueueBridge();
  sharedApplication = this;
}

Application::~Application() {
  sharedApplication = nullptr;
  impl_->qt.reset();
}

int Application::run(std::function<void()> didFinishLaunching) {
  if (didFinishLaunching) QTimer::singleShot(0, impl_->qt.get(), std::move(didFinishLaunching));
  return QApplication::exec();
}

void Application::terminate(int exitCode) {
  QCoreApplication::exit(exitCode);
}

bool Application::isCompositing() const {
  return x11hints::compositorRunning();
}

bool Application::isX11() const {
  return x11hints::available();
}

}  // namespace appkit
