#include <gtest/gtest.h>

#include <algorithm>

#include "PanelTestSupport.h"
#include "panel/FrameStore.h"

namespace panel::testing {
namespace {

class PanelLifecycle : public PanelTest {
 protected:
  std::optional<ui::Rect> savedFrame() {
    return FrameStore(defaults()).restorable(kSavedFrameName, {{-1e6, -1e6, 2e6, 2e6}});
  }
  void open() {
    ASSERT_FALSE(panel->panel().isOpen());
    panel->toggle();
  }
};

TEST_F(PanelLifecycle, CreatedHiddenTitledAndAtLeastAsHighAsItsContent) {
  makePanel();
  EXPECT_EQ(window->title, "Quillcast Floating");
  EXPECT_FALSE(window->visible);
  EXPECT_EQ(model->FloatingViewPanel.get().get(), &panel->panel());
  EXPECT_EQ(window->currentFrame.width, 612);
  // The conversation alone needs 200: 90 cannot hold.
  EXPECT_GT(window->currentFrame.height, 200 + 20 + 20);
  EXPECT_GE(window->currentFrame.height, panel->content().minimumHeight(612));
}

TEST_F(PanelLifecycle, HotKeyOpensCentredThenAtTheSavedFrame) {
  makePanel();
  window->calls.clear();
  open();
  EXPECT_TRUE(panel->panel().isOpen());
  EXPECT_EQ(window->calls, (std::vector<std::string>{"center", "orderFront", "makeKey"}));
  EXPECT_TRUE(model->didFocus);
  const ui::Rect centred = window->currentFrame;
  EXPECT_EQ(centred.x, (1920 - 612) / 2.0);

  // Moved, then resigned unpinned: that frame is saved and comes back next time.
  window->currentFrame = {100, 120, 700, 400};
  window->activateOther();
  EXPECT_FALSE(panel->panel().isOpen());
  EXPECT_FALSE(window->visible);
  window->calls.clear();
  open();
  EXPECT_EQ(window->calls,
            (std::vector<std::string>{"center", "setFrame", "orderFront", "makeKey"}));
  EXPECT_EQ(window->currentFrame, (ui::Rect{100, 120, 700, 400}));

  // Moved again and closed by the hot key: nothing saved.
  window->currentFrame = {500, 500, 700, 400};
  panel->toggle();
  EXPECT_FALSE(panel->panel().isOpen());
  EXPECT_EQ(savedFrame(), (ui::Rect{100, 120, 700, 400}));
  open();
  EXPECT_EQ(window->currentFrame, (ui::Rect{100, 120, 700, 400}));
}

TEST_F(PanelLifecycle, ResignSavesOnceAndOwnHidingIsNoLossOfActivation) {
  makePanel();
  open();
  window->currentFrame = {10, 20, 612, 300};
  // The fake window reports a lost activation when it is closed while shown: the resign rule
  // must not run a second time from inside itself.
  panel->panel().resignMainWindow();
  EXPECT_EQ(savedFrame(), (ui::Rect{10, 20, 612, 300}));
  EXPECT_FALSE(window->visible);
  EXPECT_EQ(std::count(window->calls.begin(), window->calls.end(), "close"), 1);
  defaults().removeObject(kSavedFrameName);
  open();
  window->currentFrame = {30, 40, 612, 300};
  panel->toggle();  // the hot key's own hide is no loss of activation either
  EXPECT_FALSE(window->visible);
  EXPECT_EQ(savedFrame(), std::nullopt);
}

TEST_F(PanelLifecycle, PinnedPanelStaysAndOnlyTheHotKeyClosesIt) {
  makePanel();
  open();
  model->isOnTopBinding = true;
  settle();
  EXPECT_TRUE(panel->panel().isOntop());
  window->calls.clear();
  window->activateOther();
  panel->panel().resignMainWindow();
  EXPECT_TRUE(window->calls.empty());
  EXPECT_TRUE(panel->panel().isOpen());
  EXPECT_TRUE(window->visible);
  EXPECT_EQ(savedFrame(), std::nullopt);
  panel->toggle();
  EXPECT_FALSE(panel->panel().isOpen());
  EXPECT_FALSE(window->visible);
  EXPECT_EQ(savedFrame(), std::nullopt);
}

TEST_F(PanelLifecycle, EscapeFirstUnpinsThenCloses) {
  makePanel();
  open();
  settle();
  ASSERT_TRUE(ctrl("t"));  // Ctrl+T pins
  settle();
  EXPECT_TRUE(panel->panel().isOntop());
  ASSERT_TRUE(press(ui::Key::escape));
  EXPECT_FALSE(model->isOnTopBinding);
  EXPECT_FALSE(panel->panel().isOntop());
  EXPECT_TRUE(window->visible);
  ASSERT_TRUE(press(ui::Key::escape));
  EXPECT_FALSE(window->visible);
  EXPECT_FALSE(panel->panel().isOpen());
  EXPECT_TRUE(savedFrame().has_value());
}

TEST_F(PanelLifecycle, ReopenShowsTheSameContent) {
  makePanel();
  open();
  auto* host = &panel->content().host();
  panel->toggle();
  open();
  EXPECT_EQ(host, &panel->content().host());
}

TEST(FrameStore, IgnoresFramesOffEveryScreenAndNonsense) {
  testsupport::ScopedHome home;
  auto& defaults = foundation::UserDefaults::standard();
  FrameStore store(defaults);
  const std::vector<ui::Rect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  EXPECT_EQ(store.restorable("f", screens), std::nullopt);
  store.save("f", {2500, 300, 600, 400});
  EXPECT_EQ(store.restorable("f", screens), (ui::Rect{2500, 300, 600, 400}));
  store.save("f", {3300, 300, 600, 400});  // the second monitor is gone
  EXPECT_EQ(store.restorable("f", screens), std::nullopt);
  store.save("f", {1900, 1070, 600, 400});  // a sliver in the corner is not enough
  EXPECT_EQ(store.restorable("f", screens), std::nullopt);
  defaults.set("f", {{"x", 1}, {"y", "a"}, {"width", 600}, {"height", 400}});
  EXPECT_EQ(store.restorable("f", screens), std::nullopt);
  store.save("f", {10, 10, 0, 400});
  EXPECT_EQ(store.restorable("f", screens), std::nullopt);
}

}  // namespace
}  // namespace panel::testing
