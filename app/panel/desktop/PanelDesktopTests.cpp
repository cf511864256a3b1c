// The panel in a real window on a display managed by openbox: opened by the hot-key road,
// typed into with real key events, answered by the loopback chat server.
#include <gtest/gtest.h>

#include <QWidget>
#include <cstdlib>

#include "../tests/PanelTestSupport.h"
#include "DesktopSession.h"
#include "accessibility/Attributes.h"
#include "accessibility/FakeAccessibility.h"
#include "appkit/Alert.h"
#include "appkit/FakePasteboard.h"
#include "appkit/FakeWorkspace.h"
#include "appkit/qt/NativeWidget.h"
#include "panel/AppKitPanelWindow.h"

namespace panel::testing {
namespace {

using namespace std::chrono_literals;
using desktoptest::pumpUntil;

class PanelDesktop : public PanelTest {};

TEST_F(PanelDesktop, TypedCommandIsAnsweredInTheFloatingWindow) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  ASSERT_NE(desktoptest::application(), nullptr);
  serveAnswer({"Hello", " from", " the", " **panel**"});
  makeModel();
  auto window =
      std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, kPanelWidth, kPanelRequestedHeight});
  auto panel = createFloatingPanel(model, window, {});
  QWidget* native = appkit::qt::nativeWidget(window->panel());
  EXPECT_EQ(native->windowTitle().toStdString(), "Quillcast Floating");
  EXPECT_EQ(native->width(), 612);
  EXPECT_GT(native->height(), 200);

  panel->toggle(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return window->isVisible() && window->panel().isKey(); }));
  // The input line takes the keyboard by itself.
  ASSERT_TRUE(pumpUntil([&] {
    QWidget* focus = native->focusWidget();
    return focus && focus->hasFocus() && focus->inherits("QTextEdit");
  }));
  ASSERT_EQ(testsupport::runCommand("xdotool type --delay 20 'Say hello'"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->command.get() == "Say hello"; }))
      << model->command.get();
  ASSERT_EQ(testsupport::runCommand("xdotool key Return"), 0);
  ASSERT_TRUE(pumpUntil([&] {
    return !model->isLoading && model->responseValue.get() == "Hello from the **panel**";
  }));
  desktoptest::pumpFor(200ms);
  desktoptest::Desktop::screenshot("panel-desktop-answer");
  EXPECT_TRUE(window->isVisible());

  // Escape steps back: the answer goes, the panel stays; then the panel closes.
  ASSERT_EQ(testsupport::runCommand("xdotool key Escape"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->responseValue->empty(); }));
  desktoptest::pumpFor(200ms);
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(testsupport::runCommand("xdotool key Escape"), 0);
  EXPECT_TRUE(pumpUntil([&] { return !window->isVisible(); }));
  EXPECT_FALSE(panel->panel().isOpen());
  panel.reset();
}

TEST_F(PanelDesktop, AnAnswerNotWrittenStaysInTheWindowWithTheReason) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  // The selection was captured in a terminal.
  auto ax = std::make_shared<accessibility::FakeAccessibility>();
  const auto terminal = ax->addElement(7);
  ax->setFocusedElement(terminal);
  ax->setAttribute(terminal, accessibility::attribute::kSelectedText, std::string("brwn"));
  ax->setAttribute(terminal, accessibility::attribute::kRole,
                   std::string(accessibility::role::kTerminal));
  auto workspace = std::make_shared<appkit::FakeWorkspace>();
  workspace->setFrontmostApplication(appkit::RunningApplication{7, 0x400001});
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  auto feedback = std::make_shared<appkit::FakeFeedback>();
  serveAnswer({"brown"});
  makeModel({ax, pasteboard, workspace, nullptr});
  auto window =
      std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, kPanelWidth, kPanelRequestedHeight});
  FloatingViewOptions o;
  o.answerServices = {pasteboard, ax, feedback};
  auto panel = createFloatingPanel(model, window, std::move(o));
  model->captureSelectedText();
  ASSERT_TRUE(pumpUntil([&] { return model->capturesInFlight() == 0; }));
  panel->toggle(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return window->isVisible() && window->panel().isKey(); }));
  ASSERT_EQ(testsupport::runCommand("xdotool type --delay 20 'Fix it'"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->command.get() == "Fix it"; }));
  ASSERT_EQ(testsupport::runCommand("xdotool key Return"), 0);
  ASSERT_TRUE(
      pumpUntil([&] { return !model->isLoading && model->responseValue.get() == "brown"; }));

  ASSERT_EQ(testsupport::runCommand("xdotool key ctrl+Return"), 0);
  ASSERT_TRUE(pumpUntil([&] { return feedback->beeps == 1; }));
  desktoptest::pumpFor(200ms);
  desktoptest::Desktop::screenshot("panel-desktop-not-written");
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(model->writeBackStatus.get(), "Terminal: copy it");
  EXPECT_EQ(model->responseValue.get(), "brown");
  for (const auto& write : ax->writes())
    EXPECT_NE(write.attribute, accessibility::attribute::kSelectedText);
  panel.reset();
}

}  // namespace
}  // namespace panel::testing
