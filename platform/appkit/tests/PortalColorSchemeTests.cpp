#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include "../src/PortalColorScheme.h"
#include "DesktopSession.h"
#include "testsupport/PrivateSessionBus.h"
#include "testsupport/StartedPrograms.h"
#include "ui/qt/SchemePalette.h"

namespace appkit {
namespace {

using namespace std::chrono_literals;
using desktoptest::pumpUntil;

TEST(PortalColorScheme, FollowsTheDesktopsSchemeAsItChanges) {
  testsupport::PrivateSessionBus bus("quill-portal");
  if (!bus.unavailableReason().empty()) GTEST_SKIP() << bus.unavailableReason();
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
  if (!desktoptest::application()) GTEST_SKIP() << "no display";
  const QPalette atStart = QApplication::palette();
  ASSERT_EQ(ui::qt::schemeOf(atStart), ui::ColorScheme::light) << "the test starts from light";

  testsupport::StartedProgram portal(
      {"/usr/bin/python3", QUILL_PORTAL_SETTINGS, "1"}, testsupport::StartedProgram::Output::read,
      {"DBUS_SESSION_BUS_ADDRESS=" + bus.address()}, testsupport::StartedProgram::Input::piped);
  ASSERT_EQ(portal.readLine(10s), "ready");

  PortalColorScheme follower;
  QWidget window;  // a window's palette follows the application's
  auto schemeShown = [&] { return ui::qt::schemeOf(window.palette()); };
  EXPECT_TRUE(pumpUntil([&] { return follower.scheme() == ui::ColorScheme::dark; }))
      << "the portal's dark preference was not read";
  EXPECT_EQ(schemeShown(), ui::ColorScheme::dark);

  ASSERT_TRUE(portal.write("2\n"));
  ASSERT_EQ(portal.readLine(10s), "changed");
  EXPECT_TRUE(pumpUntil([&] { return follower.scheme() == ui::ColorScheme::light; }));
  EXPECT_EQ(schemeShown(), ui::ColorScheme::light);

  ASSERT_TRUE(portal.write("1\n"));
  EXPECT_TRUE(pumpUntil([&] { return schemeShown() == ui::ColorScheme::dark; }));
  // No preference: what Qt chose at start, again.
  ASSERT_TRUE(portal.write("0\n"));
  EXPECT_TRUE(pumpUntil([&] { return !follower.scheme(); }));
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), atStart.color(QPalette::Window));
}

TEST(PortalColorScheme, WithoutAPortalThePaletteStays) {
  testsupport::PrivateSessionBus bus("quill-portal");
  if (!bus.unavailableReason().empty()) GTEST_SKIP() << bus.unavailableReason();
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
  if (!desktoptest::application()) GTEST_SKIP() << "no display";
  const QColor before = QApplication::palette().color(QPalette::Window);
  PortalColorScheme follower;
  desktoptest::pumpFor(300ms);
  EXPECT_FALSE(follower.scheme());
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), before);
}

}  // namespace
}  // namespace appkit
