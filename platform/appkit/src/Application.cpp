#include "appkit/Application.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <utility>

#include "PortalColorScheme.h"
#include "X11WindowHints.h"
#include "ui/qt/MainQueueBridge.h"

namespace appkit {
namespace {

Application* sharedApplication = nullptr;

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The write end of the pipe that carries signals into the event loop; -1 when none.
std::atomic<int> signalPipeWriter{-1};

void forwardSignal(int signal) {
  const int saved = errno;
  const int fd = signalPipeWriter.load(std::memory_order_relaxed);
  const unsigned char byte = static_cast<unsigned char>(signal);
  if (fd >= 0) (void)!::write(fd, &byte, 1);
  errno = saved;
}

void setEndingSignalsAction(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kEndingSignals) ::sigaction(signal, &action, nullptr);
}

// Qt's X11 plugin ends the process with exit(1) when its connection to the X server breaks
// (the server stopped, the session ended without asking its programs first): the way out is
// taken from there too. Set while the event loop runs, on the main thread.
std::function<void()>* willTerminateAtExit = nullptr;
std::thread::id loopThread;

void takeTheWayOutAtExit() {
  std::function<void()>* handler = std::exchange(willTerminateAtExit, nullptr);
  // Only an exit from the loop's own thread: another thread's would race the main one.
  if (!handler || std::this_thread::get_id() != loopThread || !*handler) return;
  (*handler)();
  std::fflush(nullptr);
}

bool usesX11Platform() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (!platform || !*platform) return true;
  std::string_view name(platform);
  return name == "xcb" || name.starts_with("xcb:");
}

}  // namespace

struct Application::Impl {
  std::unique_ptr<QApplication> qt;
  std::function<void()> willTerminate;
  // Signals come through a pipe, so that the program ends from its event loop, not from a
  // signal handler.
  int signalPipe[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> signalNotifier;

  void tellWillTerminate() {
    if (willTerminate) willTerminate();
  }

  void watchSignals(Application& application) {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    signalPipeWriter = signalPipe[1];
    signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [this, &application] {
      unsigned char bytes[16];
      while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
      }
      // Should the way out hang, a second signal still ends the process.
      setEndingSignalsAction(SIG_DFL);
      application.terminate(0);
    });
    setEndingSignalsAction(forwardSignal);
  }

  void stopWatchingSignals() {
    if (signalPipe[0] < 0) return;
    setEndingSignalsAction(SIG_DFL);
    signalPipeWriter = -1;
    signalNotifier.reset();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
  }
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
  if (usesX11Platform()) new PortalColorScheme(impl_->qt.get());  // the application owns it
  ui::qt::installMainQueueBridge();
  sharedApplication = this;
  impl_->watchSignals(*this);
  QObject::connect(impl_->qt.get(), &QCoreApplication::aboutToQuit,
                   [impl = impl_.get()] { impl->tellWillTerminate(); });
  // Told by the session manager at logout; the X server may be gone before the loop ends.
  QObject::connect(impl_->qt.get(), &QGuiApplication::commitDataRequest,
                   [impl = impl_.get()](QSessionManager&) { impl->tellWillTerminate(); });
}

Application::~Application() {
  impl_->stopWatchingSignals();
  sharedApplication = nullptr;
  impl_->qt.reset();
}

void Application::onWillTerminate(std::function<void()> handler) {
  impl_->willTerminate = std::move(handler);
}

int Application::run(std::function<void()> didFinishLaunching) {
  if (didFinishLaunching) QTimer::singleShot(0, impl_->qt.get(), std::move(didFinishLaunching));
  // Registered once the program is built, so that what it holds outlives the handler.
  static const bool atExitRegistered = std::atexit(takeTheWayOutAtExit) == 0;
  (void)atExitRegistered;
  loopThread = std::this_thread::get_id();
  willTerminateAtExit = &impl_->willTerminate;
  const int code = QApplication::exec();
  willTerminateAtExit = nullptr;
  return code;
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
