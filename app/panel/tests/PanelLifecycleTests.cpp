#include <gtest/gtest.h>

#include <algorithm>

#include "PanelTestSupport.h"

namespace panel::testing {
namespace {

class PanelLifecycle : public PanelTest {
 protected:
  std::optional<ui::Rect> savedFrame() { return window->savedFrame(kSavedFrameName); }
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
  EXPECT_EQ(window->minimumSize.height, panel->content().minimumHeight(612));
  EXPECT_TRUE(window->content);
}

TEST_F(PanelLifecycle, HotKeyOpensCentredThenAtTheSavedFrame) {
  makePanel();
  window->calls.clear();
  panel->toggle(4242);
  EXPECT_EQ(window->userTime, 4242u);
  EXPECT_TRUE(panel->panel().isOpen());
  EXPECT_EQ(window->calls,
            (std::vector<std::string>{"center", "setFrameUsingName", "orderFront", "makeKey"}));
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
  EXPECT_EQ(window->currentFrame, (ui::Rect{100, 120, 700, 400}));
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
  window->saved.clear();
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

TEST_F(PanelLifecycle, AFrameSavedOnAScreenThatIsGoneIsIgnored) {
  makePanel();
  window->saved[kSavedFrameName] = {2500, 100, 612, 400};  // on a second monitor
  window->screens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  open();
  EXPECT_EQ(window->currentFrame.x, 2500);
  panel->toggle();
  window->screens = {{0, 0, 1920, 1080}};  // unplugged
  open();
  EXPECT_EQ(window->currentFrame.x, (1920 - 612) / 2.0);
  EXPECT_FALSE(framesOverlap({1920, 0, 10, 10}, window->screens));
  EXPECT_TRUE(framesOverlap({1910, 0, 20, 10}, window->screens));
}

TEST_F(PanelLifecycle, ReopenShowsTheSameContent) {
  makePanel();
  open();
  auto* host = &panel->content().host();
  panel->toggle();
  open();
  EXPECT_EQ(host, &panel->content().host());
}

}  // namespace
}  // namespace panel::testing
