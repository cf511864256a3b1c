#include <foundation/DispatchQueue.h>
#include <gtest/gtest.h>
#include <loginitem/Toggle.h>
#include <servicemanagement/FakeAutostart.h>
#include <testsupport/ScopedHome.h>
#include <ui/Controls.h>
#include <ui/FakeTextMeasurer.h>
#include <ui/Input.h>
#include <ui/TextValue.h>
#include <ui/ViewHost.h>

namespace {

struct SilentLog final : loginitem::Log {
  void error(std::string_view) override {}
};

TEST(LoginItemToggle, ShowsItsLabelAndFollowsTheStateReadBack) {
  servicemanagement::FakeAutostart autostart;
  SilentLog log;
  auto observable = std::make_shared<LoginItem::Observable>(
      std::make_shared<loginitem::LoginItemControl>(autostart, log));
  ui::ViewHost host(LoginItem::Toggle(ui::Text::verbatim("Launch at login"), observable),
                    std::make_shared<ui::FakeTextMeasurer>());
  host.update();
  EXPECT_NE(host.dump().find("\"Launch at login\""), std::string::npos) << host.dump();
  const auto before = host.dump();

  host.pointerPressed(ui::PointerEvent::at({5, 5}));
  host.pointerReleased(ui::PointerEvent::at({5, 5}));
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return observable->isEnabled(); },
                                                std::chrono::seconds(5)));
  EXPECT_TRUE(autostart.isEnabled());
  EXPECT_TRUE(host.needsUpdate());
  host.update();
  EXPECT_NE(host.dump(), before) << "the box shows the check mark";

  // A refused change leaves the box as the system reports it.
  autostart.failWith(std::make_error_code(std::errc::permission_denied));
  host.pointerPressed(ui::PointerEvent::at({5, 5}));
  host.pointerReleased(ui::PointerEvent::at({5, 5}));
  foundation::MainRunLoop::runFor(std::chrono::milliseconds(100));
  EXPECT_TRUE(observable->isEnabled());
}

TEST(LoginItemToggle, DefaultLabel) {
  testsupport::ScopedHome home;
  ui::ViewHost host(LoginItem::Toggle(), std::make_shared<ui::FakeTextMeasurer>());
  host.update();
  EXPECT_NE(host.dump().find("\"Launch at login\""), std::string::npos) << host.dump();
}

}  // namespace
