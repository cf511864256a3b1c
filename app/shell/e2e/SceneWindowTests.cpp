// The program's titled windows on a desktop whose work area is smaller than they would be.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <string>

#include "DesktopSession.h"
#include "EndToEndSupport.h"
#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"
#include "core/DataModel.h"
#include "shell/Scenes.h"
#include "testsupport/ScopedHome.h"

namespace {

using desktoptest::pumpFor;
using desktoptest::pumpUntil;
using namespace std::chrono_literals;

using shelltest::NoOpener;

std::string describe(const QRect& r) {
  return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" +
         std::to_string(r.x()) + "+" + std::to_string(r.y());
}

// A panel along the left and top edges, as a desktop's docks are: it takes that much from the
// work area.
xcb_window_t reserveEdges(testx11::Connection& x, std::uint32_t left, std::uint32_t top) {
  xcb_window_t dock = x.createWindow(0, false);
  const std::uint32_t tiny[] = {1, 1};
  xcb_configure_window(x.get(), dock, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, tiny);
  const xcb_atom_t dockType = x.atom("_NET_WM_WINDOW_TYPE_DOCK");
  xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, dock, x.atom("_NET_WM_WINDOW_TYPE"),
                      XCB_ATOM_ATOM, 32, 1, &dockType);
  const std::uint32_t strut[12] = {left, 0, top, 0, 0, 65535, 0, 0, 0, 65535, 0, 0};
  xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, dock, x.atom("_NET_WM_STRUT_PARTIAL"),
                      XCB_ATOM_CARDINAL, 32, 12, strut);
  xcb_map_window(x.get(), dock);
  x.sync();
  return dock;
}

TEST(SceneWindows, OpenCentredWithinASmallWorkArea) {
  testsupport::ScopedHome home;
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect whole = screen->geometry();
  ASSERT_GE(whole.width(), 1000);
  ASSERT_GE(whole.height(), 560);
  // Narrower than the onboarding, lower than every window.
  const QRect expected(whole.width() - 1000, whole.height() - 560, 1000, 560);
  const xcb_window_t dock =
      reserveEdges(desktop.x(), std::uint32_t(expected.x()), std::uint32_t(expected.y()));
  ASSERT_TRUE(pumpUntil([&] { return screen->availableGeometry() == expected; }))
      << describe(screen->availableGeometry());

  appkit::WindowRegistry windows;
  auto model = std::make_shared<core::DataModel>();
  NoOpener opener;
  const shell::SceneContext context{model, &opener, nullptr, &windows, {}, nullptr};
  windows.declare("Onboarding", shell::onboardingWindow(context));
  windows.declare("Settings", shell::settingsWindow(context));
  windows.declare("PromptEditor", shell::promptEditorWindow(context));
  for (const std::string name : {"Onboarding", "Settings", "PromptEditor"}) {
    SCOPED_TRACE(name);
    auto window = windows.open(name);
    ASSERT_FALSE(window.expired());
    QWidget* widget = appkit::qt::nativeWidget(*window.lock());
    // Title bar and borders included, once the window manager has framed it; centred.
    auto placed = [&] {
      const QRect frame = widget->frameGeometry();
      return frame != widget->geometry() && expected.contains(frame) &&
             (frame.center() - expected.center()).manhattanLength() <= 2;
    };
    EXPECT_TRUE(pumpUntil(placed)) << describe(widget->frameGeometry());
    // Its content lays out at the size the window got.
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      EXPECT_TRUE(widget->rect().contains(child->geometry())) << describe(child->geometry());
    desktop.screenshot("scene-window-" + name);
    windows.close(name);
    pumpFor(100ms);
  }
  xcb_destroy_window(desktop.x().get(), dock);
  desktop.x().sync();
}

}  // namespace
