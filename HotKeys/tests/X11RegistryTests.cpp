#include <gtest/gtest.h>
#include <xcb/xtest.h>

#include "HotKeysTestSupport.h"
#include "carbon/X11HotKeyService.h"
#include "foundation/DispatchQueue.h"
#include "testsupport/X11TestClient.h"

namespace HotKeys {
namespace {

using namespace std::chrono_literals;
using foundation::MainRunLoop::runFor;
using foundation::MainRunLoop::runUntil;

constexpr xcb_keysym_t kSpaceSym = 0x20, kAltSym = 0xffe9;

class X11RegistryTest : public testing::HotKeysTest {
 protected:
  void SetUp() override {
    HotKeysTest::SetUp();
    if (!session_.ok()) GTEST_SKIP() << "no X display";
    x11_ = std::make_shared<carbon::X11HotKeyService>();
    CarbonHotKeys::setService(x11_);
  }
  void fake(std::uint8_t type, xcb_keysym_t keysym) {
    xcb_test_fake_input(client_.get(), type, client_.keycodeOf(keysym), XCB_CURRENT_TIME, XCB_NONE,
                        0, 0, 0);
    client_.sync();
  }
  void strokeAltSpace() {
    fake(XCB_KEY_PRESS, kAltSym);
    fake(XCB_KEY_PRESS, kSpaceSym);
    fake(XCB_KEY_RELEASE, kSpaceSym);
    fake(XCB_KEY_RELEASE, kAltSym);
  }

  testx11::DisplaySession session_;
  testx11::Connection client_;
  std::shared_ptr<carbon::X11HotKeyService> x11_;
};

TEST_F(X11RegistryTest, TheDefaultPanelHotKeyRunsItsKeyUpHandlerOncePerStroke) {
  Name panel("showFloatingPanel", Shortcut(Key::space, ModifierFlags(ModifierFlags::option)));
  int ups = 0;
  onKeyUp(panel, [&] { ++ups; });
  ASSERT_TRUE(isRegistered(panel));
  strokeAltSpace();
  EXPECT_TRUE(runUntil([&] { return ups == 1; }, 3s));
  runFor(100ms);
  EXPECT_EQ(ups, 1);

  setShortcut(std::nullopt, panel);
  strokeAltSpace();
  runFor(200ms);
  EXPECT_EQ(ups, 1) << "cleared: given back";
}

TEST_F(X11RegistryTest, AHotKeyHeldByAnotherProgramIsReportedNotRegistered) {
  const xcb_keycode_t space = client_.keycodeOf(kSpaceSym);
  xcb_grab_key(client_.get(), 0, client_.root(), XCB_MOD_MASK_1, space, XCB_GRAB_MODE_ASYNC,
               XCB_GRAB_MODE_ASYNC);
  client_.sync();
  Name panel("showFloatingPanel", Shortcut(Key::space, ModifierFlags(ModifierFlags::option)));
  onKeyUp(panel, [] {});
  EXPECT_FALSE(isRegistered(panel));
  EXPECT_TRUE(CarbonHotKeys::isTakenElsewhere(*panel.shortcut()));

  xcb_ungrab_key(client_.get(), space, client_.root(), XCB_MOD_MASK_1);
  client_.sync();
  enable(panel);
  EXPECT_TRUE(isRegistered(panel));
  EXPECT_FALSE(CarbonHotKeys::isTakenElsewhere(*panel.shortcut())) << "ours now";
}

}  // namespace
}  // namespace HotKeys
